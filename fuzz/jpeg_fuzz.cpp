// The JPEG glue on arbitrary bytes (its message boxes go to the silent prompts).
#include "image/image_io.h"
#include "image/jpeg_glue.h"
#include "image_fuzz_common.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace quendrolix;
  FileHandle f = OpenMemory(data, size);
  if (!f) return 0;
  HDIB dib = ReadJpegStream(f.get(), "fuzz.jpg");
  if (dib) fuzzing::TouchDib(*dib);
  return 0;
}
