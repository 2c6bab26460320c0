// The PCX reader on arbitrary bytes.
#include "image/image_io.h"
#include "image/pcx_format.h"
#include "image_fuzz_common.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace quendrolix;
  FileHandle f = OpenMemory(data, size);
  if (!f) return 0;
  HDIB dib;
  HPALETTE palette;
  if (ReadPcx(f.get(), dib, palette)) fuzzing::TouchDib(*dib);
  return 0;
}
