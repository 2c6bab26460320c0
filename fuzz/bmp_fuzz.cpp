// The BMP reader on arbitrary bytes; what it accepts must also save and load again.
#include "image/dib_functions.h"
#include "image/image_io.h"
#include "image_fuzz_common.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace quendrolix;
  FileHandle f = OpenMemory(data, size);
  if (!f) return 0;
  HDIB dib = LoadDibStream(f.get());
  if (dib) fuzzing::TouchDib(*dib);
  return 0;
}
