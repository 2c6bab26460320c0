#include "platform/gdi/dib_bitmap.h"

#include <cstring>

namespace quendrolix {

namespace {

// One colour channel described by a mask: where it sits and how wide it is.
struct Channel {
  int shift = 0;
  int bits = 0;
};

Channel ChannelOf(uint32_t mask) {
  Channel c;
  if (mask == 0) return c;
  while (!(mask & 1)) {
    mask >>= 1;
    ++c.shift;
  }
  while (mask & 1) {
    mask >>= 1;
    ++c.bits;
  }
  return c;
}

// Widens an n-bit value to 8 bits by repeating its bits (31 -> 255, 16 -> 132), the way
// 5-5-5 and 5-6-5 pixels are usually shown.
inline uint8_t Widen(uint32_t value, int bits) {
  if (bits <= 0) return 0;
  if (bits >= 8) return static_cast<uint8_t>(value >> (bits - 8));
  uint32_t out = 0;
  int have = 0;
  while (have < 8) {
    out = (out << bits) | value;
    have += bits;
  }
  return static_cast<uint8_t>(out >> (have - 8));
}

inline uint8_t Channel8(uint32_t pixel, const Channel& c) {
  if (c.bits == 0) return 0;
  uint32_t v = (pixel >> c.shift) & (c.bits >= 32 ? 0xFFFFFFFFu : ((1u << c.bits) - 1));
  return Widen(v, c.bits);
}

inline Bgrx Pack(uint8_t r, uint8_t g, uint8_t b) {
  return (Bgrx{r} << 16) | (Bgrx{g} << 8) | b;
}

}  // namespace

HBITMAP BitmapFromDibBits(const BITMAPINFOHEADER& header, const RGBQUAD* colours,
                          size_t colourCount, const uint32_t* masks, const uint8_t* bits,
                          size_t bitsSize) {
  const int bitCount = header.biBitCount;
  if (header.biWidth <= 0 || header.biHeight == 0) return nullptr;
  const int64_t width = header.biWidth;
  const int64_t height = header.biHeight < 0 ? -int64_t{header.biHeight} : header.biHeight;
  if (width > kMaxImageDimension || height > kMaxImageDimension || width * height > DibPixelLimit())
    return nullptr;
  const bool bitfields = header.biCompression == BI_BITFIELDS;
  if (header.biCompression != BI_RGB && !bitfields) return nullptr;
  switch (bitCount) {
    case 1:
    case 4:
    case 8:
    case 24:
      if (bitfields) return nullptr;
      break;
    case 16:
    case 32:
      break;
    default:
      return nullptr;
  }
  const size_t stride = DibRowStride(width, bitCount);
  if (!bits || stride * static_cast<size_t>(height) > bitsSize) return nullptr;

  Channel red, green, blue;
  if (bitfields) {
    uint32_t m[3];
    if (masks) {
      std::memcpy(m, masks, sizeof m);
    } else if (header.biSize >= sizeof(BITMAPINFOHEADER) + 12) {
      std::memcpy(m, reinterpret_cast<const uint8_t*>(&header) + sizeof(BITMAPINFOHEADER),
                  sizeof m);
    } else {
      return nullptr;
    }
    red = ChannelOf(m[0]);
    green = ChannelOf(m[1]);
    blue = ChannelOf(m[2]);
  } else if (bitCount == 16) {
    red = {10, 5};
    green = {5, 5};
    blue = {0, 5};
  } else if (bitCount == 32) {
    red = {16, 8};
    green = {8, 8};
    blue = {0, 8};
  }

  HBITMAP bitmap = Bitmap::CreateForOverwrite(static_cast<int>(width), static_cast<int>(height));
  if (!bitmap) return nullptr;
  Bgrx table[256] = {};
  if (bitCount <= 8) {
    size_t n = std::min<size_t>(colourCount, size_t{1} << bitCount);
    if (n && !colours) return nullptr;
    for (size_t i = 0; i < n; ++i)
      table[i] = Pack(colours[i].rgbRed, colours[i].rgbGreen, colours[i].rgbBlue);
  }
  for (int64_t y = 0; y < height; ++y) {
    // Row y from the top lies at y for top-down blocks, height - 1 - y for bottom-up ones.
    int64_t stored = header.biHeight < 0 ? y : height - 1 - y;
    const uint8_t* src = bits + static_cast<size_t>(stored) * stride;
    Bgrx* out = bitmap->Row(static_cast<int>(y));
    switch (bitCount) {
      case 1:
        for (int64_t x = 0; x < width; ++x) out[x] = table[(src[x >> 3] >> (7 - (x & 7))) & 1];
        break;
      case 4:
        for (int64_t x = 0; x < width; ++x)
          out[x] = table[(x & 1) ? (src[x >> 1] & 15) : (src[x >> 1] >> 4)];
        break;
      case 8:
        for (int64_t x = 0; x < width; ++x) out[x] = table[src[x]];
        break;
      case 16:
        for (int64_t x = 0; x < width; ++x) {
          uint32_t p = src[2 * x] | (uint32_t{src[2 * x + 1]} << 8);
          out[x] = Pack(Channel8(p, red), Channel8(p, green), Channel8(p, blue));
        }
        break;
      case 24:
        for (int64_t x = 0; x < width; ++x)
          out[x] = Pack(src[3 * x + 2], src[3 * x + 1], src[3 * x]);
        break;
      case 32:
        for (int64_t x = 0; x < width; ++x) {
          const uint8_t* q = src + 4 * x;
          uint32_t p =
              q[0] | (uint32_t{q[1]} << 8) | (uint32_t{q[2]} << 16) | (uint32_t{q[3]} << 24);
          out[x] = Pack(Channel8(p, red), Channel8(p, green), Channel8(p, blue));
        }
        break;
    }
  }
  return bitmap;
}

bool DibBitsFromBitmap(const Bitmap& bitmap, int bitCount, const Palette* palette, RGBQUAD* colours,
                       size_t colourCount, uint8_t* bits, size_t bitsSize) {
  const int width = bitmap.width(), height = bitmap.height();
  if (!IsDibBitCount(bitCount)) return false;
  const size_t stride = DibRowStride(width, bitCount);
  if (!bits || stride * static_cast<size_t>(height) > bitsSize) return false;

  HPALETTE fallback;
  size_t limit = 0;
  const bool monoAsBits = bitCount == 1 && bitmap.monochrome();
  if (bitCount <= 8) {
    if (monoAsBits) {
      fallback = DefaultPalette(1);
      palette = fallback.get();
    } else if (!palette) {
      fallback = DefaultPalette(bitCount);
      palette = fallback.get();
    }
    if (!palette) return false;
    limit = std::min(palette->size(), size_t{1} << bitCount);
    if (colours) {
      for (size_t i = 0; i < colourCount; ++i) {
        if (i < limit) {
          const PALETTEENTRY& e = palette->entries()[i];
          colours[i] = {e.peBlue, e.peGreen, e.peRed, 0};
        } else {
          colours[i] = {0, 0, 0, 0};
        }
      }
    }
  }

  // Neighbouring pixels are often equal: remember the last one converted.
  Bgrx lastPixel = 0xFFFFFFFF;
  uint8_t lastIndex = 0;
  auto indexOf = [&](Bgrx p) -> uint8_t {
    if (monoAsBits) return p == kBgrxWhite ? 1 : 0;
    if (p != lastPixel) {
      lastPixel = p;
      lastIndex = palette->NearestIndex(static_cast<uint8_t>(p >> 16), static_cast<uint8_t>(p >> 8),
                                        static_cast<uint8_t>(p), limit);
    }
    return lastIndex;
  };

  for (int y = 0; y < height; ++y) {
    uint8_t* dst = bits + static_cast<size_t>(height - 1 - y) * stride;
    std::memset(dst, 0, stride);
    const Bgrx* src = bitmap.Row(y);
    switch (bitCount) {
      case 1:
        for (int x = 0; x < width; ++x)
          if (indexOf(src[x] & kBgrxWhite)) dst[x >> 3] |= static_cast<uint8_t>(0x80 >> (x & 7));
        break;
      case 4:
        for (int x = 0; x < width; ++x)
          dst[x >> 1] |= static_cast<uint8_t>(indexOf(src[x] & kBgrxWhite) << ((x & 1) ? 0 : 4));
        break;
      case 8:
        for (int x = 0; x < width; ++x) dst[x] = indexOf(src[x] & kBgrxWhite);
        break;
      case 16:
        for (int x = 0; x < width; ++x) {
          Bgrx p = src[x];
          uint32_t v = (((p >> 19) & 31) << 10) | (((p >> 11) & 31) << 5) | ((p >> 3) & 31);
          dst[2 * x] = static_cast<uint8_t>(v);
          dst[2 * x + 1] = static_cast<uint8_t>(v >> 8);
        }
        break;
      case 24:
        for (int x = 0; x < width; ++x) {
          Bgrx p = src[x];
          dst[3 * x] = static_cast<uint8_t>(p);
          dst[3 * x + 1] = static_cast<uint8_t>(p >> 8);
          dst[3 * x + 2] = static_cast<uint8_t>(p >> 16);
        }
        break;
      case 32:
        for (int x = 0; x < width; ++x) {
          Bgrx p = src[x];
          dst[4 * x] = static_cast<uint8_t>(p);
          dst[4 * x + 1] = static_cast<uint8_t>(p >> 8);
          dst[4 * x + 2] = static_cast<uint8_t>(p >> 16);
          dst[4 * x + 3] = 0;
        }
        break;
    }
  }
  return true;
}

HBITMAP BitmapFromDibBlock(const DibBlock& dib, const uint8_t* pixels) {
  if (!DibIsConsistent(dib)) return nullptr;
  const BITMAPINFOHEADER& h = dib.header();
  const uint8_t* start = dib.data();
  const uint8_t* end = start + dib.size();
  const uint8_t* rows = pixels ? pixels : start + DibBitsOffset(dib);
  if (rows < start || rows > end) return nullptr;
  const uint32_t* masks = nullptr;
  uint32_t maskCopy[3];
  if (h.biCompression == BI_BITFIELDS && h.biSize == sizeof(BITMAPINFOHEADER)) {
    std::memcpy(maskCopy, start + sizeof(BITMAPINFOHEADER), sizeof maskCopy);
    masks = maskCopy;
  }
  size_t colourCount = h.biBitCount <= 8 ? DibColourCount(h) : 0;
  const RGBQUAD* colours = colourCount ? dib.colours() : nullptr;
  return BitmapFromDibBits(h, colours, colourCount, masks, rows, static_cast<size_t>(end - rows));
}

}  // namespace quendrolix
