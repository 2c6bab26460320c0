// Full frames: the compressor that stores rows as they are, and the decoders of
// uncompressed (BI_RGB) and bit-field (BI_BITFIELDS) frames.

#include <bit>
#include <cstring>

#include "platform/vfw/codec_internal.h"
#include "platform/vfw/pixel_convert.h"

namespace quendrolix::codecs {
namespace {

class FullFramesCompressor : public VideoCompressor {
 protected:
  bool Prepare() override {
    FrameGeometry g;
    if (!ReadGeometry(inputFormat_, g)) return false;
    // Stored bottom-up whatever the caller's row order, as every reader expects.
    outputFormat_ = MakeVideoFormat(g.width, g.height, g.bitCount, BI_RGB,
                                    static_cast<uint32_t>(inputBytes_), g.colours);
    topDown_ = g.topDown;
    stride_ = g.stride;
    height_ = g.height;
    return true;
  }
  bool CompressFrame(const uint8_t* pixels, bool, int, std::vector<uint8_t>& out) override {
    if (!topDown_) {
      out.assign(pixels, pixels + inputBytes_);
      return true;
    }
    out.resize(inputBytes_);
    for (int y = 0; y < height_; ++y)
      std::memcpy(out.data() + static_cast<size_t>(y) * stride_,
                  pixels + static_cast<size_t>(height_ - 1 - y) * stride_, stride_);
    return true;
  }

 private:
  bool topDown_ = false;
  size_t stride_ = 0;
  int height_ = 0;
};

class RawDecompressor : public VideoDecompressor {
 public:
  explicit RawDecompressor(const FrameGeometry& g) : g_(g) {
    outputFormat_ = MakeVideoFormat(g.width, g.height, g.bitCount, BI_RGB,
                                    static_cast<uint32_t>(g.stride * g.height), g.colours);
  }
  bool IntraOnly() const override { return true; }
  bool Decode(const uint8_t* data, size_t size, DibBlock& frame) override {
    const size_t packed = (static_cast<size_t>(g_.width) * g_.bitCount + 7) / 8;
    const size_t rows = static_cast<size_t>(g_.height);
    // Rows padded to 4 bytes as a DIB stores them; some writers pack them tight.
    size_t srcStride;
    if (size >= g_.stride * rows)
      srcStride = g_.stride;
    else if (size >= packed * rows)
      srcStride = packed;
    else
      return false;
    uint8_t* dst = DibPixels(frame);
    for (size_t y = 0; y < rows; ++y) {
      const size_t srcRow = g_.topDown ? rows - 1 - y : y;
      std::memcpy(dst + y * g_.stride, data + srcRow * srcStride, packed);
    }
    return true;
  }

 private:
  FrameGeometry g_;
};

// Bit-field frames: 16 or 32 bits with three masks. Exactly 5-5-5 and 8-8-8 come out as
// they are; any other layout as 24-bit.
class BitfieldsDecompressor : public VideoDecompressor {
 public:
  BitfieldsDecompressor(const FrameGeometry& g, const uint32_t masks[3]) : g_(g) {
    for (int i = 0; i < 3; ++i) {
      masks_[i] = masks[i];
      shifts_[i] = masks[i] ? std::countr_zero(masks[i]) : 0;
      widths_[i] = std::popcount(masks[i]);
    }
    if (g.bitCount == 16 && masks[0] == 0x7C00 && masks[1] == 0x03E0 && masks[2] == 0x001F)
      outBits_ = 16;
    else if (g.bitCount == 32 && masks[0] == 0xFF0000 && masks[1] == 0xFF00 && masks[2] == 0xFF)
      outBits_ = 32;
    else
      outBits_ = 24;
    outputFormat_ =
        MakeVideoFormat(g.width, g.height, outBits_, BI_RGB,
                        static_cast<uint32_t>(DibRowStride(g.width, outBits_) * g.height), {});
  }
  bool IntraOnly() const override { return true; }
  bool Decode(const uint8_t* data, size_t size, DibBlock& frame) override {
    const size_t rows = static_cast<size_t>(g_.height);
    if (size < g_.stride * rows) return false;
    const size_t outStride = DibRowStride(g_.width, outBits_);
    uint8_t* dst = DibPixels(frame);
    const int bytes = g_.bitCount / 8;
    for (size_t y = 0; y < rows; ++y) {
      const uint8_t* src = data + (g_.topDown ? rows - 1 - y : y) * g_.stride;
      uint8_t* out = dst + y * outStride;
      if (outBits_ != 24) {
        std::memcpy(out, src, static_cast<size_t>(g_.width) * bytes);
        continue;
      }
      for (int x = 0; x < g_.width; ++x) {
        uint32_t v = 0;
        for (int b = 0; b < bytes; ++b) v |= uint32_t{src[x * bytes + b]} << (8 * b);
        for (int c = 0; c < 3; ++c)
          out[3 * x + 2 - c] = ScaleComponentTo8((v & masks_[c]) >> shifts_[c], widths_[c]);
      }
    }
    return true;
  }

 private:
  FrameGeometry g_;
  uint32_t masks_[3];
  int shifts_[3];
  int widths_[3];
  int outBits_ = 24;
};

}  // namespace

std::unique_ptr<VideoCompressor> NewFullFramesCompressor() {
  return std::make_unique<FullFramesCompressor>();
}

std::unique_ptr<VideoDecompressor> NewRawDecompressor(const std::vector<uint8_t>& format) {
  FrameGeometry g;
  if (!ReadGeometry(format, g)) return nullptr;
  return std::make_unique<RawDecompressor>(g);
}

std::unique_ptr<VideoDecompressor> NewBitfieldsDecompressor(const std::vector<uint8_t>& format) {
  FrameGeometry g;
  if (!ReadGeometry(format, g) || (g.bitCount != 16 && g.bitCount != 32)) return nullptr;
  const BITMAPINFOHEADER h = FormatHeader(format);
  // The masks follow a 40-byte header; larger headers hold them at offset 40.
  const size_t at = sizeof(BITMAPINFOHEADER);
  if (format.size() < at + 12) return nullptr;
  uint32_t masks[3];
  std::memcpy(masks, format.data() + at, 12);
  (void)h;
  for (uint32_t m : masks) {
    if (m == 0) return nullptr;
    // Contiguous masks only.
    const uint32_t shifted = m >> std::countr_zero(m);
    if ((shifted & (shifted + 1)) != 0) return nullptr;
  }
  return std::make_unique<BitfieldsDecompressor>(g, masks);
}

}  // namespace quendrolix::codecs
