#pragma once

// Shared by the image fuzz targets: turn what a reader produced into a screen bitmap and
// touch every pixel, so a block whose header promises more than it holds shows up.

#include <cstdint>

#include "image/dib_functions.h"
#include "platform/gdi/dib.h"

namespace quendrolix::fuzzing {

// Small pictures only, so that every input runs in milliseconds; the limit checks
// themselves are the same code at any limit.
[[maybe_unused]] static const bool kLimitSet = (SetDibPixelLimit(int64_t{1} << 16), true);

inline uint32_t TouchDib(const DibBlock& dib) {
  HPALETTE palette = PaletteFromDib(dib);
  HBITMAP bitmap = BitmapFromDib(dib, palette);
  if (!bitmap) return 0;
  uint32_t sum = 0;
  for (int y = 0; y < bitmap->height(); ++y)
    for (int x = 0; x < bitmap->width(); ++x) sum += bitmap->Pixel(x, y);
  return sum;
}

}  // namespace quendrolix::fuzzing
