#pragma once

// Scaling pictures between packed BGR buffers and DIB blocks. Downscaling uses a Lanczos
// filter (three lobes, widened with the scale factor, so fine detail is averaged rather
// than dropped); upscaling the same filter.

#include <cstddef>
#include <cstdint>

#include "platform/gdi/dib.h"
#include "platform/gdi/gdi.h"

namespace quendrolix::av {

// Packed 24-bit blue-green-red rows, `stride` bytes apart, top row first.
struct BgrView {
  const uint8_t* pixels = nullptr;
  int width = 0;
  int height = 0;
  size_t stride = 0;
};
struct BgrTarget {
  uint8_t* pixels = nullptr;
  int width = 0;
  int height = 0;
  size_t stride = 0;
};

// Scales `source` into `target` (both sizes at least 1x1). False on impossible sizes.
bool ScaleBgr(const BgrView& source, const BgrTarget& target);

// `source` (an uncompressed block of any depth: palettes and 5-5-5 are read as colours)
// scaled to width x height as a new 24-bit block; null for damaged blocks or impossible
// sizes.
HDIB ScaleDib(const DibBlock& source, int width, int height);

// A colour bitmap scaled to width x height with the Lanczos filter above. The three
// colours are scaled as planes of their own, so no step through luma and chroma blurs or
// shifts them. Null for impossible sizes or no memory (a monochrome source gives colour).
HBITMAP ScaleBitmap(const Bitmap& source, int width, int height);

}  // namespace quendrolix::av
