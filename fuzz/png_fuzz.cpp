// The PNG glue on arbitrary bytes.
#include "image/image_io.h"
#include "image/png_glue.h"
#include "image_fuzz_common.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace quendrolix;
  FileHandle f = OpenMemory(data, size);
  if (!f) return 0;
  std::string message;
  HDIB dib = ReadPngStream(f.get(), message);
  if (dib) fuzzing::TouchDib(*dib);
  return 0;
}
