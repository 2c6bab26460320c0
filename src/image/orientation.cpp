#include "image/orientation.h"

#include <cstddef>
#include <cstring>

namespace quendrolix {

int ExifOrientation(const uint8_t* data, size_t size) {
  if (!data) return 0;
  if (size >= 6 && std::memcmp(data, "Exif\0\0", 6) == 0) {
    data += 6;
    size -= 6;
  }
  if (size < 8) return 0;
  bool big;
  if (data[0] == 'I' && data[1] == 'I' && data[2] == 42 && data[3] == 0)
    big = false;
  else if (data[0] == 'M' && data[1] == 'M' && data[2] == 0 && data[3] == 42)
    big = true;
  else
    return 0;
  auto u16 = [&](size_t at) -> uint32_t {
    return big ? uint32_t(data[at]) << 8 | data[at + 1] : uint32_t(data[at + 1]) << 8 | data[at];
  };
  auto u32 = [&](size_t at) -> uint32_t {
    return big ? u16(at) << 16 | u16(at + 2) : u16(at + 2) << 16 | u16(at);
  };
  const uint64_t ifd = u32(4);
  if (ifd + 2 > size) return 0;
  const uint32_t entries = u16(static_cast<size_t>(ifd));
  for (uint32_t i = 0; i < entries; ++i) {
    const uint64_t at = ifd + 2 + uint64_t{i} * 12;
    if (at + 12 > size) return 0;
    const size_t e = static_cast<size_t>(at);
    if (u16(e) != 0x0112) continue;
    // SHORT, one value, held in the entry itself.
    if (u16(e + 2) != 3 || u32(e + 4) != 1) return 0;
    const uint32_t value = u16(e + 8);
    return value >= 1 && value <= 8 ? static_cast<int>(value) : 0;
  }
  return 0;
}

namespace {

// A 1- or 4-bit block widened to one byte a pixel, colours kept.
HDIB WidenTo8(const DibBlock& dib) {
  const BITMAPINFOHEADER& h = dib.header();
  const int width = h.biWidth;
  const int height = h.biHeight < 0 ? -h.biHeight : h.biHeight;
  const uint32_t colours = std::min<uint32_t>(DibColourCount(dib), 256);
  HDIB out = NewDib(width, height, 8, colours);
  if (!out) return nullptr;
  std::memcpy(out->colours(), dib.colours(), 4 * size_t{colours});
  const size_t inStride = DibRowStride(width, h.biBitCount);
  const size_t outStride = DibRowStride(width, 8);
  const uint8_t* in = DibPixels(dib);
  uint8_t* rows = DibPixels(*out);
  for (int y = 0; y < height; ++y) {
    // Keep the bottom-up order: row y of a top-down block is row height - 1 - y.
    const uint8_t* src = in + static_cast<size_t>(h.biHeight < 0 ? height - 1 - y : y) * inStride;
    uint8_t* dst = rows + static_cast<size_t>(y) * outStride;
    for (int x = 0; x < width; ++x)
      dst[x] = h.biBitCount == 1 ? (src[x >> 3] >> (7 - (x & 7))) & 1
                                 : (src[x >> 1] >> ((x & 1) ? 0 : 4)) & 15;
  }
  out->header().biXPelsPerMeter = h.biXPelsPerMeter;
  out->header().biYPelsPerMeter = h.biYPelsPerMeter;
  return out;
}

template <int kBytes>
void CopyRow(uint8_t* dst, const uint8_t* src, ptrdiff_t step, int count) {
  for (int x = 0; x < count; ++x, dst += kBytes, src += step) std::memcpy(dst, src, kBytes);
}

}  // namespace

HDIB OrientDib(HDIB dib, int orientation) {
  if (!dib || orientation < 2 || orientation > 8) return dib;
  if (dib->header().biCompression != BI_RGB || !DibIsConsistent(*dib)) return dib;
  if (dib->header().biBitCount < 8) {
    dib = WidenTo8(*dib);
    if (!dib) return nullptr;
  }
  const BITMAPINFOHEADER& h = dib->header();
  const int bytes = h.biBitCount / 8;
  const int sw = h.biWidth;
  const int sh = h.biHeight < 0 ? -h.biHeight : h.biHeight;
  const bool topDown = h.biHeight < 0;
  const bool swap = orientation >= 5;
  const int vw = swap ? sh : sw, vh = swap ? sw : sh;
  const uint32_t colours = h.biBitCount <= 8 ? std::min<uint32_t>(DibColourCount(*dib), 256) : 0;
  HDIB out = NewDib(vw, vh, h.biBitCount, colours);
  if (!out) return nullptr;
  std::memcpy(out->colours(), dib->colours(), 4 * size_t{colours});
  out->header().biXPelsPerMeter = swap ? h.biYPelsPerMeter : h.biXPelsPerMeter;
  out->header().biYPelsPerMeter = swap ? h.biXPelsPerMeter : h.biYPelsPerMeter;
  const size_t inStride = DibRowStride(sw, h.biBitCount);
  const size_t outStride = DibRowStride(vw, h.biBitCount);
  const uint8_t* in = DibPixels(*dib);
  uint8_t* rows = DibPixels(*out);
  // Stored pixel (column c, row r counted from the top) that shows at (x, y).
  // Orientations 5 to 8 swap the axes; each then mirrors none, one or both of them.
  static constexpr bool kMirrorColumn[9] = {false, false, true, true, false,
                                            false, false, true, true};
  static constexpr bool kMirrorRow[9] = {false, false, false, true, true, false, true, true, false};
  const bool mirrorColumn = kMirrorColumn[orientation], mirrorRow = kMirrorRow[orientation];
  auto source = [&](int x, int y) -> const uint8_t* {
    const int u = swap ? y : x, v = swap ? x : y;
    const int c = mirrorColumn ? sw - 1 - u : u;
    const int r = mirrorRow ? sh - 1 - v : v;
    const size_t row = static_cast<size_t>(topDown ? r : sh - 1 - r);
    return in + row * inStride + static_cast<size_t>(c) * bytes;
  };
  // Along an output row the stored pixel moves by a fixed step (a pixel or a row of the
  // stored picture, either way): one pointer walk per row, not a lookup per pixel.
  for (int y = 0; y < vh; ++y) {
    uint8_t* dst = rows + static_cast<size_t>(vh - 1 - y) * outStride;
    const uint8_t* src = source(0, y);
    const ptrdiff_t step = vw > 1 ? source(1, y) - src : 0;
    switch (bytes) {
      case 1:
        CopyRow<1>(dst, src, step, vw);
        break;
      case 2:
        CopyRow<2>(dst, src, step, vw);
        break;
      case 3:
        CopyRow<3>(dst, src, step, vw);
        break;
      default:
        CopyRow<4>(dst, src, step, vw);
        break;
    }
  }
  return out;
}

}  // namespace quendrolix
