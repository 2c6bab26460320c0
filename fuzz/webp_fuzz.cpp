// The WebP glue on arbitrary bytes: stills, the first frame of animations, the EXIF turn.
#include "image/webp_glue.h"
#include "image_fuzz_common.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace quendrolix;
  std::string message;
  HDIB dib = ReadWebpMemory(data, size, message);
  if (dib) fuzzing::TouchDib(*dib);
  return 0;
}
