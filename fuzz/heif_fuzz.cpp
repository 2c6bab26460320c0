// The HEIF glue on arbitrary bytes: the container walk for rotations, the primary picture,
// its EXIF orientation.
#include "image/heif_glue.h"
#include "image_fuzz_common.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace quendrolix;
  HeifHasTransformations(data, size);
  std::string message;
  HDIB dib = ReadHeifMemory(data, size, message);
  if (dib) fuzzing::TouchDib(*dib);
  return 0;
}
