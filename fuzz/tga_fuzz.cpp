// The TGA reader on arbitrary bytes.
#include "image/image_io.h"
#include "image/tga_reader.h"
#include "image_fuzz_common.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace quendrolix;
  FileHandle f = OpenMemory(data, size);
  if (!f) return 0;
  int status = 0;
  HDIB dib = ReadTgaStream(f.get(), &status);
  if (dib) fuzzing::TouchDib(*dib);
  return 0;
}
