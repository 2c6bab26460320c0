#include "platform/vfw/pixel_convert.h"

#include <array>
#include <cstdlib>

namespace quendrolix {
namespace {

std::array<uint8_t, 256> MakeReduceTable() {
  std::array<uint8_t, 256> table{};
  for (int v = 0; v < 256; ++v) {
    int best = 0;
    for (int c = 1; c < 32; ++c)
      if (std::abs(Expand5(c) - v) < std::abs(Expand5(best) - v)) best = c;
    table[v] = static_cast<uint8_t>(best);
  }
  return table;
}

const std::array<uint8_t, 256> kReduce = MakeReduceTable();

inline void PaletteBgr(const RGBQUAD* palette, uint32_t size, unsigned index, uint8_t* out) {
  if (index < size) {
    out[0] = palette[index].rgbBlue;
    out[1] = palette[index].rgbGreen;
    out[2] = palette[index].rgbRed;
  } else {
    out[0] = out[1] = out[2] = 0;
  }
}

}  // namespace

uint8_t Reduce8To5(uint8_t v) {
  return kReduce[v];
}

uint8_t ScaleComponentTo8(uint32_t value, int bits) {
  if (bits <= 0) return 0;
  if (bits >= 8) return static_cast<uint8_t>(value >> (bits - 8));
  uint32_t out = 0;
  int filled = 0;
  while (filled < 8) {
    out = (out << bits) | value;
    filled += bits;
  }
  return static_cast<uint8_t>(out >> (filled - 8));
}

void RowToBgr(const uint8_t* src, int bits, const RGBQUAD* palette, uint32_t paletteSize, int width,
              uint8_t* bgr) {
  switch (bits) {
    case 1:
      for (int x = 0; x < width; ++x)
        PaletteBgr(palette, paletteSize, (src[x >> 3] >> (7 - (x & 7))) & 1, bgr + 3 * x);
      break;
    case 4:
      for (int x = 0; x < width; ++x)
        PaletteBgr(palette, paletteSize, (x & 1) ? src[x >> 1] & 15 : src[x >> 1] >> 4,
                   bgr + 3 * x);
      break;
    case 8:
      for (int x = 0; x < width; ++x) PaletteBgr(palette, paletteSize, src[x], bgr + 3 * x);
      break;
    case 16:
      for (int x = 0; x < width; ++x) {
        const unsigned w = src[2 * x] | src[2 * x + 1] << 8;
        bgr[3 * x] = Expand5(w & 31);
        bgr[3 * x + 1] = Expand5((w >> 5) & 31);
        bgr[3 * x + 2] = Expand5((w >> 10) & 31);
      }
      break;
    case 24:
      for (int i = 0; i < 3 * width; ++i) bgr[i] = src[i];
      break;
    case 32:
      for (int x = 0; x < width; ++x) {
        bgr[3 * x] = src[4 * x];
        bgr[3 * x + 1] = src[4 * x + 1];
        bgr[3 * x + 2] = src[4 * x + 2];
      }
      break;
    default:
      for (int i = 0; i < 3 * width; ++i) bgr[i] = 0;
  }
}

void RowTo555(const uint8_t* src, int bits, const RGBQUAD* palette, uint32_t paletteSize, int width,
              uint16_t* out) {
  if (bits == 16) {
    for (int x = 0; x < width; ++x)
      out[x] = static_cast<uint16_t>((src[2 * x] | src[2 * x + 1] << 8) & 0x7FFF);
    return;
  }
  const int step = bits == 24 ? 3 : 4;
  if (bits == 24 || bits == 32) {
    for (int x = 0; x < width; ++x) {
      const uint8_t* p = src + step * x;
      out[x] = static_cast<uint16_t>(kReduce[p[2]] << 10 | kReduce[p[1]] << 5 | kReduce[p[0]]);
    }
    return;
  }
  uint8_t bgr[3];
  for (int x = 0; x < width; ++x) {
    unsigned index = 0;
    if (bits == 8)
      index = src[x];
    else if (bits == 4)
      index = (x & 1) ? src[x >> 1] & 15 : src[x >> 1] >> 4;
    else if (bits == 1)
      index = (src[x >> 3] >> (7 - (x & 7))) & 1;
    PaletteBgr(palette, paletteSize, index, bgr);
    out[x] = static_cast<uint16_t>(kReduce[bgr[2]] << 10 | kReduce[bgr[1]] << 5 | kReduce[bgr[0]]);
  }
}

}  // namespace quendrolix
