#pragma once

// Row conversions between the DIB depths the codecs meet. Rows are as stored in a DIB
// (no padding assumed at the end); palette indices beyond the table give black.

#include <cstdint>

#include "platform/gdi/dib.h"

namespace quendrolix {

// A 5-bit component widened to 8 bits by bit replication, as decoders show it.
constexpr uint8_t Expand5(unsigned v) {
  return static_cast<uint8_t>((v << 3) | (v >> 2));
}
// The 5-bit value whose widened form is nearest to `v`.
uint8_t Reduce8To5(uint8_t v);
// A component of `bits` bits (1..16) widened or cut to 8 by bit replication.
uint8_t ScaleComponentTo8(uint32_t value, int bits);

// One row of `width` pixels at `bits` (1, 4, 8, 16 as 5-5-5, 24, 32) to blue, green,
// red triples.
void RowToBgr(const uint8_t* src, int bits, const RGBQUAD* palette, uint32_t paletteSize, int width,
              uint8_t* bgr);
// One row to 5-5-5 words.
void RowTo555(const uint8_t* src, int bits, const RGBQUAD* palette, uint32_t paletteSize, int width,
              uint16_t* out);

}  // namespace quendrolix
