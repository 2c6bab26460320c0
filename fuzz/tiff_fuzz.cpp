// The TIFF glue on arbitrary bytes: the page walk, then each page it finds.
#include <vector>

#include "image/image_io.h"
#include "image/tiff_glue.h"
#include "image_fuzz_common.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace quendrolix;
  FileHandle f = OpenMemory(data, size);
  if (!f) return 0;
  std::vector<uint32_t> offsets;
  CountTiffPagesStream(f.get(), offsets, 4);
  for (size_t i = 0; i < offsets.size() && i < 3; ++i) {
    if (i > 0 && offsets[i] == 0) break;
    FileHandle page = OpenMemory(data, size);
    int status = 0;
    HDIB dib = ReadTiffStream(page.get(), offsets[i], &status);
    if (dib) fuzzing::TouchDib(*dib);
  }
  return 0;
}
