#include "platform/av/picture_scaler.h"

#include <algorithm>
#include <memory>
#include <new>
#include <vector>

#include "platform/av/av_internal.h"
#include "platform/vfw/pixel_convert.h"

namespace quendrolix::av {
namespace {

bool SaneSize(int width, int height) {
  return width > 0 && height > 0 && width <= kMaxImageDimension && height <= kMaxImageDimension &&
         int64_t{width} * height <= DibPixelLimit();
}

}  // namespace

bool ScaleBgr(const BgrView& source, const BgrTarget& target) {
  if (!source.pixels || !target.pixels || !SaneSize(source.width, source.height) ||
      !SaneSize(target.width, target.height) || source.stride < size_t(3) * source.width ||
      target.stride < size_t(3) * target.width || source.stride > INT32_MAX ||
      target.stride > INT32_MAX)
    return false;
  Scaler sws(sws_getContext(
      source.width, source.height, AV_PIX_FMT_BGR24, target.width, target.height, AV_PIX_FMT_BGR24,
      SWS_LANCZOS | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INT, nullptr, nullptr, nullptr));
  if (!sws) return false;
  // Both sides go through copies with room after them (the scaler reaches past the rows).
  const size_t inBytes = source.stride * static_cast<size_t>(source.height);
  const size_t outBytes = target.stride * static_cast<size_t>(target.height);
  SlackBuffer inCopy, outCopy;
  uint8_t* inPadded = inCopy.Reserve(inBytes);
  uint8_t* outPadded = outCopy.Reserve(outBytes);
  if (!inPadded || !outPadded) return false;
  std::copy_n(source.pixels, inBytes, inPadded);
  const uint8_t* in[4] = {inPadded, nullptr, nullptr, nullptr};
  int inLines[4] = {static_cast<int>(source.stride), 0, 0, 0};
  uint8_t* out[4] = {outPadded, nullptr, nullptr, nullptr};
  int outLines[4] = {static_cast<int>(target.stride), 0, 0, 0};
  if (sws_scale(sws.get(), in, inLines, 0, source.height, out, outLines) != target.height)
    return false;
  std::copy_n(outPadded, outBytes, target.pixels);
  return true;
}

HDIB ScaleDib(const DibBlock& source, int width, int height) {
  if (!DibIsConsistent(source) || !SaneSize(width, height)) return nullptr;
  const BITMAPINFOHEADER& h = source.header();
  if (h.biCompression != BI_RGB || h.biWidth <= 0 || h.biHeight == 0) return nullptr;
  const int w = h.biWidth;
  const int rows = h.biHeight < 0 ? -h.biHeight : h.biHeight;
  // The source as top-down BGR rows, whatever its depth and row order.
  const size_t inStride = DibRowStride(w, h.biBitCount);
  std::vector<uint8_t> bgr(size_t(3) * w * rows);
  const uint8_t* pixels = DibPixels(source);
  for (int y = 0; y < rows; ++y) {
    const int stored = h.biHeight < 0 ? y : rows - 1 - y;
    RowToBgr(pixels + inStride * stored, h.biBitCount, source.colours(), DibColourCount(source), w,
             bgr.data() + size_t(3) * w * y);
  }
  HDIB out = NewDib(width, height, 24, 0);
  if (!out) return nullptr;
  // Written top-down into the bottom-up block by a negative stride.
  const size_t outStride = DibRowStride(width, 24);
  std::vector<uint8_t> scaled(size_t(3) * width * height);
  if (!ScaleBgr({bgr.data(), w, rows, size_t(3) * w},
                {scaled.data(), width, height, size_t(3) * width}))
    return nullptr;
  uint8_t* dst = DibPixels(*out);
  for (int y = 0; y < height; ++y)
    std::copy_n(scaled.data() + size_t(3) * width * y, size_t(3) * width,
                dst + outStride * static_cast<size_t>(height - 1 - y));
  return out;
}

HBITMAP ScaleBitmap(const Bitmap& source, int width, int height) {
  const int w = source.width(), h = source.height();
  if (!SaneSize(w, h) || !SaneSize(width, height)) return nullptr;
  HBITMAP out = Bitmap::CreateForOverwrite(width, height);
  if (!out) return nullptr;
  if (w == width && h == height) {
    for (int y = 0; y < h; ++y) std::copy_n(source.Row(y), w, out->Row(y));
    return out;
  }
  // Planar green, blue, red in and out: the scaler then filters each colour on its own.
  Scaler sws(sws_getContext(w, h, AV_PIX_FMT_GBRP, width, height, AV_PIX_FMT_GBRP,
                            SWS_LANCZOS | SWS_ACCURATE_RND, nullptr, nullptr, nullptr));
  if (!sws) return nullptr;
  // The source goes in as slices of a few rows, so the planes of a large photograph are
  // never held whole: only one slice and the (smaller) output.
  constexpr int kSliceRows = 64;
  const size_t slicePlane = static_cast<size_t>(w) * kSliceRows;
  const size_t outPlane = static_cast<size_t>(width) * height;
  std::unique_ptr<uint8_t[]> in(new (std::nothrow) uint8_t[3 * slicePlane + kScalerSlack]);
  std::unique_ptr<uint8_t[]> scaled(new (std::nothrow) uint8_t[3 * outPlane + kScalerSlack]);
  if (!in || !scaled) return nullptr;
  const uint8_t* inPlanes[4] = {in.get(), in.get() + slicePlane, in.get() + 2 * slicePlane,
                                nullptr};
  int inLines[4] = {w, w, w, 0};
  uint8_t* outPlanes[4] = {scaled.get(), scaled.get() + outPlane, scaled.get() + 2 * outPlane,
                           nullptr};
  int outLines[4] = {width, width, width, 0};
  int written = 0;
  for (int top = 0; top < h; top += kSliceRows) {
    const int rows = std::min(kSliceRows, h - top);
    for (int y = 0; y < rows; ++y) {
      const Bgrx* row = source.Row(top + y);
      uint8_t* g = in.get() + static_cast<size_t>(y) * w;
      uint8_t* b = g + slicePlane;
      uint8_t* r = b + slicePlane;
      for (int x = 0; x < w; ++x) {
        const Bgrx p = row[x];
        b[x] = static_cast<uint8_t>(p);
        g[x] = static_cast<uint8_t>(p >> 8);
        r[x] = static_cast<uint8_t>(p >> 16);
      }
    }
    const int done = sws_scale(sws.get(), inPlanes, inLines, top, rows, outPlanes, outLines);
    if (done < 0) return nullptr;
    written += done;
  }
  if (written != height) return nullptr;
  for (int y = 0; y < height; ++y) {
    Bgrx* row = out->Row(y);
    const uint8_t* g = scaled.get() + static_cast<size_t>(y) * width;
    const uint8_t* b = g + outPlane;
    const uint8_t* r = b + outPlane;
    for (int x = 0; x < width; ++x)
      row[x] =
          static_cast<Bgrx>(b[x]) | static_cast<Bgrx>(g[x]) << 8 | static_cast<Bgrx>(r[x]) << 16;
  }
  return out;
}

}  // namespace quendrolix::av
