// The EXIF orientation reader on arbitrary bytes, and the turn it asks for applied to a
// small picture of each depth whose size comes from the input too.
#include <cstring>

#include "image/orientation.h"
#include "image_fuzz_common.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace quendrolix;
  const int orientation = ExifOrientation(data, size);
  if (size < 2) return 0;
  const int width = 1 + data[0] % 19, height = 1 + data[1] % 13;
  static const int kDepths[] = {1, 4, 8, 16, 24, 32};
  for (int bits : kDepths) {
    HDIB dib = NewDib(width, height, bits, bits <= 8 ? 1u << bits : 0);
    if (!dib) continue;
    // Pixels from the input, so the turned picture can be checked against them.
    const size_t n = dib->header().biSizeImage;
    for (size_t i = 0; i < n; ++i) DibPixels(*dib)[i] = data[i % size];
    HDIB turned = OrientDib(std::move(dib), orientation ? orientation : 1 + data[0] % 8);
    if (turned) fuzzing::TouchDib(*turned);
  }
  return 0;
}
