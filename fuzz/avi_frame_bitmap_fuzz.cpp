// The bitmap file written for an extracted AVI frame, made from arbitrary blocks: it is
// refused or it is a file that says its own size and reads back.
#include <cstdlib>

#include "image/dib_functions.h"
#include "image/image_io.h"
#include "tools/extract_frames.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace quendrolix;
  if (size < sizeof(BITMAPINFOHEADER) || size > (1u << 20)) return 0;
  HDIB block = DibBlock::FromBytes(data, size);
  if (!block) return 0;
  const std::vector<uint8_t> file = AviFrameBitmapFile(*block);
  if (file.empty()) return 0;
  if (file.size() < 54 || Le32(&file[2]) != file.size() || Le32(&file[10]) > file.size())
    std::abort();
  FileHandle f = OpenMemory(file.data(), file.size());
  if (f) LoadDibStream(f.get());
  return 0;
}
