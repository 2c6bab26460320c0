// Run-length frames: 'mrle' writes RLE8 key frames; the decoder reads RLE8 and RLE4,
// including the delta codes with which other programs make delta frames (pixels a
// frame does not reach keep the previous picture).

#include <algorithm>
#include <cstring>

#include "platform/vfw/codec_internal.h"

namespace quendrolix::codecs {
namespace {

class RleCompressor : public VideoCompressor {
 protected:
  bool Prepare() override {
    if (!ReadGeometry(inputFormat_, g_) || g_.bitCount != 8) return false;
    // Worst case: every pixel its own two-byte run, plus the line ends.
    const uint64_t bound = (2 * uint64_t(g_.width) + 2) * g_.height + 2;
    if (bound > UINT32_MAX) return false;
    outputFormat_ =
        MakeVideoFormat(g_.width, g_.height, 8, BI_RLE8, static_cast<uint32_t>(bound), g_.colours);
    return true;
  }

  bool CompressFrame(const uint8_t* pixels, bool, int, std::vector<uint8_t>& out) override {
    const int w = g_.width;
    for (int y = 0; y < g_.height; ++y) {
      const uint8_t* row =
          pixels + static_cast<size_t>(g_.topDown ? g_.height - 1 - y : y) * g_.stride;
      int x = 0;
      while (x < w) {
        int run = 1;
        while (x + run < w && run < 255 && row[x + run] == row[x]) ++run;
        if (run >= 2) {
          out.push_back(static_cast<uint8_t>(run));
          out.push_back(row[x]);
          x += run;
          continue;
        }
        // Literal bytes up to the next run of three or more.
        int n = 1;
        while (x + n < w && n < 255) {
          if (x + n + 2 < w && row[x + n] == row[x + n + 1] && row[x + n] == row[x + n + 2]) break;
          ++n;
        }
        if (n < 3) {
          for (int i = 0; i < n; ++i) {
            out.push_back(1);
            out.push_back(row[x + i]);
          }
        } else {
          out.push_back(0);
          out.push_back(static_cast<uint8_t>(n));
          out.insert(out.end(), row + x, row + x + n);
          if (n & 1) out.push_back(0);  // absolute runs keep word alignment
        }
        x += n;
      }
      out.push_back(0);
      out.push_back(y + 1 == g_.height ? 1 : 0);  // end of bitmap after the last line
    }
    return true;
  }

 private:
  FrameGeometry g_;
};

class RleDecompressor : public VideoDecompressor {
 public:
  RleDecompressor(const FrameGeometry& g, int bits) : g_(g), bits_(bits) {
    stride_ = DibRowStride(g.width, bits);
    outputFormat_ = MakeVideoFormat(g.width, g.height, bits, BI_RGB,
                                    static_cast<uint32_t>(stride_ * g.height), g.colours);
  }
  bool IntraOnly() const override { return false; }

  bool Decode(const uint8_t* data, size_t size, DibBlock& frame) override {
    uint8_t* pixels = DibPixels(frame);
    int64_t x = 0, y = 0;
    size_t p = 0;
    auto put = [&](int64_t px, int64_t py, uint8_t v) {
      if (px < 0 || px >= g_.width || py < 0 || py >= g_.height) return;
      uint8_t* row = pixels + static_cast<size_t>(py) * stride_;
      if (bits_ == 8) {
        row[px] = v;
      } else {
        uint8_t& b = row[px >> 1];
        b = (px & 1) ? static_cast<uint8_t>((b & 0xF0) | (v & 15))
                     : static_cast<uint8_t>((b & 0x0F) | (v << 4));
      }
    };
    while (p + 2 <= size) {
      const uint8_t n = data[p], v = data[p + 1];
      p += 2;
      if (y >= g_.height) break;
      if (n > 0) {
        for (int i = 0; i < n; ++i, ++x) put(x, y, bits_ == 8 ? v : ((i & 1) ? v & 15 : v >> 4));
        continue;
      }
      if (v == 0) {  // end of line
        x = 0;
        ++y;
      } else if (v == 1) {  // end of bitmap
        return true;
      } else if (v == 2) {  // move right and up
        if (p + 2 > size) return false;
        x += data[p];
        y += data[p + 1];
        p += 2;
      } else {  // v literal pixels, padded to a 16-bit boundary
        const size_t bytes = bits_ == 8 ? v : (v + 1u) / 2;
        if (p + bytes > size) return false;
        for (int i = 0; i < v; ++i, ++x) {
          uint8_t c = bits_ == 8 ? data[p + i] : data[p + i / 2];
          if (bits_ == 4) c = (i & 1) ? c & 15 : c >> 4;
          put(x, y, c);
        }
        p += bytes + (bytes & 1);
      }
    }
    return true;
  }

 private:
  FrameGeometry g_;
  int bits_;
  size_t stride_ = 0;
};

}  // namespace

std::unique_ptr<VideoCompressor> NewRleCompressor() {
  return std::make_unique<RleCompressor>();
}

std::unique_ptr<VideoDecompressor> NewRleDecompressor(const std::vector<uint8_t>& format,
                                                      int bits) {
  FrameGeometry g;
  if (!ReadGeometry(format, g) || g.bitCount != bits) return nullptr;
  return std::make_unique<RleDecompressor>(g, bits);
}

}  // namespace quendrolix::codecs
