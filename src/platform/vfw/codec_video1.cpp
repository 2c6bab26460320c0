// MS Video 1 ('msvc', stored as 'CRAM'): 4x4 blocks coded with one colour, two colours
// and a 16-bit mask, or two colours per 2x2 quadrant, plus skip codes that keep blocks
// of the previous frame. 8-bit frames code palette indices, 16-bit frames 5-5-5 words.
//
// Block order: rows of blocks from the bottom of the picture upwards, left to right, and
// inside a block rows from the bottom; mask bit (4 * row + column) picks the first
// colour when set. The block grid starts at the left edge and ends at the top edge;
// columns and rows that do not fill a whole block are not coded.

#include <algorithm>
#include <array>
#include <cstring>

#include "platform/vfw/codec_internal.h"
#include "platform/vfw/pixel_convert.h"

namespace quendrolix::codecs {
namespace {

constexpr uint16_t kQuadrantMask[4] = {0x0033, 0x00CC, 0x3300, 0xCC00};
// Quadrant (0..3) of pixel k = 4 * row + column.
constexpr int QuadrantOf(int k) {
  return ((k >> 3) & 1) * 2 + ((k & 3) >> 1);
}

struct Rgb5 {
  int r, g, b;
};

inline Rgb5 Split(uint16_t c) {
  return {(c >> 10) & 31, (c >> 5) & 31, c & 31};
}
inline uint16_t Join(int r, int g, int b) {
  return static_cast<uint16_t>(r << 10 | g << 5 | b);
}
inline int Dist555(uint16_t a, uint16_t b) {
  if (a == b) return 0;
  const Rgb5 x = Split(a), y = Split(b);
  const int dr = Expand5(x.r) - Expand5(y.r);
  const int dg = Expand5(x.g) - Expand5(y.g);
  const int db = Expand5(x.b) - Expand5(y.b);
  return dr * dr + dg * dg + db * db;
}

// The block error a quality setting allows (sum of squared 8-bit differences over the
// 16 pixels and three components); 10000 allows none.
int64_t Threshold(int quality) {
  const int64_t d = 10000 - std::clamp(quality, 0, 10000);
  return 110592 * d * d / 100000000;
}

// A colour as 5-bit components and as the 8-bit values decoders show.
struct Centre {
  int r = 0, g = 0, b = 0;
  int R = 0, G = 0, B = 0;
  uint16_t word = 0;
};

inline Centre MakeCentre(int r, int g, int b) {
  return {r, g, b, Expand5(r), Expand5(g), Expand5(b), Join(r, g, b)};
}

// The 16 pixels of a block, split once into components.
struct Block16 {
  int r[16], g[16], b[16];
  int R[16], G[16], B[16];
  void Set(int k, uint16_t c) {
    r[k] = (c >> 10) & 31;
    g[k] = (c >> 5) & 31;
    b[k] = c & 31;
    R[k] = Expand5(r[k]);
    G[k] = Expand5(g[k]);
    B[k] = Expand5(b[k]);
  }
  int Dist(int k, const Centre& c) const {
    const int dr = R[k] - c.R, dg = G[k] - c.G, db = B[k] - c.B;
    return dr * dr + dg * dg + db * db;
  }
  int Luma(int k) const { return 2 * r[k] + 4 * g[k] + b[k]; }
  Centre At(int k) const { return MakeCentre(r[k], g[k], b[k]); }
  Centre Mean(const int* members, int n) const {
    int sr = 0, sg = 0, sb = 0;
    for (int i = 0; i < n; ++i) {
      sr += r[members[i]];
      sg += g[members[i]];
      sb += b[members[i]];
    }
    return MakeCentre((sr + n / 2) / n, (sg + n / 2) / n, (sb + n / 2) / n);
  }
};

class Video1Compressor : public VideoCompressor {
 protected:
  bool Temporal() const override { return true; }

  bool Prepare() override {
    if (!ReadGeometry(inputFormat_, g_)) return false;
    blocksWide_ = g_.width / 4;
    blocksHigh_ = g_.height / 4;
    if (blocksWide_ == 0 || blocksHigh_ == 0) return false;
    rowOffset_ = g_.height - 4 * blocksHigh_;
    eight_ = g_.bitCount == 8;
    const int outBits = eight_ ? 8 : 16;
    const size_t pixels = static_cast<size_t>(g_.width) * g_.height;
    if (eight_) {
      palette_ = g_.colours;
      palette_.resize(256, RGBQUAD{0, 0, 0, 0});
      dist8_.resize(256 * 256);
      for (int i = 0; i < 256; ++i)
        for (int j = 0; j < 256; ++j) {
          const int db = palette_[i].rgbBlue - palette_[j].rgbBlue;
          const int dg = palette_[i].rgbGreen - palette_[j].rgbGreen;
          const int dr = palette_[i].rgbRed - palette_[j].rgbRed;
          dist8_[i * 256 + j] = db * db + dg * dg + dr * dr;
        }
      cur8_.resize(pixels);
      prev8_.resize(pixels);
    } else {
      cur16_.resize(pixels);
      prev16_.resize(pixels);
    }
    outputFormat_ =
        MakeVideoFormat(g_.width, g_.height, outBits, kCompressionVideo1,
                        static_cast<uint32_t>(DibRowStride(g_.width, outBits) * g_.height),
                        eight_ ? g_.colours : std::vector<RGBQUAD>{});
    return true;
  }

  bool CompressFrame(const uint8_t* pixels, bool key, int quality,
                     std::vector<uint8_t>& out) override {
    LoadFrame(pixels);
    const int64_t threshold = Threshold(quality);
    out.reserve(static_cast<size_t>(blocksWide_) * blocksHigh_ * 4);
    int skipRun = 0;
    auto flushSkips = [&] {
      while (skipRun > 0) {
        const int n = std::min(skipRun, 1023);
        out.push_back(static_cast<uint8_t>(n & 0xFF));
        out.push_back(static_cast<uint8_t>(0x84 + (n >> 8)));
        skipRun -= n;
      }
    };
    for (int by = 0; by < blocksHigh_; ++by) {
      for (int bx = 0; bx < blocksWide_; ++bx) {
        const size_t base = static_cast<size_t>(rowOffset_ + 4 * by) * g_.width + 4 * bx;
        // A block is kept from the previous frame when that is within the allowance, or
        // no worse than coding it again would be (an unchanged block after a lossy one).
        const int64_t skipError = key ? INT64_MAX : eight_ ? SkipError8(base) : SkipError16(base);
        if (skipError <= threshold) {
          ++skipRun;
          continue;
        }
        code_.clear();
        const int64_t codedError =
            eight_ ? CodeBlock8(base, threshold, code_) : CodeBlock16(base, threshold, code_);
        if (skipError <= codedError) {
          ++skipRun;
          continue;
        }
        flushSkips();
        out.insert(out.end(), code_.begin(), code_.end());
        if (eight_)
          Scatter(prev8_, base, recon8_);
        else
          Scatter(prev16_, base, recon16_);
      }
    }
    flushSkips();
    return true;
  }

 private:
  void LoadFrame(const uint8_t* pixels) {
    for (int y = 0; y < g_.height; ++y) {
      const uint8_t* row =
          pixels + static_cast<size_t>(g_.topDown ? g_.height - 1 - y : y) * g_.stride;
      if (eight_)
        std::memcpy(cur8_.data() + static_cast<size_t>(y) * g_.width, row, g_.width);
      else
        RowTo555(row, g_.bitCount, g_.colours.data(), static_cast<uint32_t>(g_.colours.size()),
                 g_.width, cur16_.data() + static_cast<size_t>(y) * g_.width);
    }
  }

  template <typename T>
  void Gather(const std::vector<T>& plane, size_t base, T* px) const {
    for (int y = 0; y < 4; ++y)
      for (int x = 0; x < 4; ++x)
        px[4 * y + x] = plane[base + static_cast<size_t>(y) * g_.width + x];
  }
  template <typename T>
  void Scatter(std::vector<T>& plane, size_t base, const T* px) const {
    for (int y = 0; y < 4; ++y)
      for (int x = 0; x < 4; ++x)
        plane[base + static_cast<size_t>(y) * g_.width + x] = px[4 * y + x];
  }

  // ---- 16-bit ----
  // The error of keeping the block of the previous frame at `base` (a skip).
  template <typename T, typename Distance>
  int64_t SkipError(const std::vector<T>& current, const std::vector<T>& previous, size_t base,
                    Distance distance) const {
    T a[16], b[16];
    Gather(current, base, a);
    Gather(previous, base, b);
    int64_t e = 0;
    for (int k = 0; k < 16; ++k) e += distance(a[k], b[k]);
    return e;
  }
  int64_t SkipError16(size_t base) const {
    return SkipError(cur16_, prev16_, base, [](uint16_t a, uint16_t b) { return Dist555(a, b); });
  }

  // Codes the block into `out` and its picture into recon16_; returns its error.
  int64_t CodeBlock16(size_t base, int64_t threshold, std::vector<uint8_t>& out) {
    uint16_t px[16];
    Gather(cur16_, base, px);
    Block16 block;
    for (int k = 0; k < 16; ++k) block.Set(k, px[k]);
    int all[16];
    for (int k = 0; k < 16; ++k) all[k] = k;
    uint16_t* recon = recon16_;

    // One colour.
    const Centre mean = block.Mean(all, 16);
    int64_t err1 = 0;
    for (int k = 0; k < 16; ++k) err1 += block.Dist(k, mean);
    if (err1 <= threshold) {
      Emit1(mean.word, out);
      std::fill(recon, recon + 16, mean.word);
      return err1;
    }

    // Two colours: a few rounds of 2-means from the darkest and the brightest pixel.
    Centre c2[2];
    uint16_t flags2 = 0;
    const int64_t err2 = TwoColours(block, c2, flags2);
    if (err2 <= threshold || err2 == 0) {
      Emit2(flags2, c2[0].word, c2[1].word, out);
      for (int k = 0; k < 16; ++k) recon[k] = (flags2 >> k) & 1 ? c2[0].word : c2[1].word;
      return err2;
    }

    // Two colours per quadrant: the best split of each quadrant's four pixels.
    uint16_t c8[8];
    uint16_t flags8 = 0;
    int64_t err8 = 0;
    for (int q = 0; q < 4; ++q) {
      int members[4], n = 0;
      for (int k = 0; k < 16; ++k)
        if (QuadrantOf(k) == q) members[n++] = k;
      err8 += BestSplit(block, members, c8[2 * q], c8[2 * q + 1], flags8);
    }
    if (err1 <= err2 && err1 <= err8) {
      Emit1(mean.word, out);
      std::fill(recon, recon + 16, mean.word);
      return err1;
    }
    if (err2 <= err8) {
      Emit2(flags2, c2[0].word, c2[1].word, out);
      for (int k = 0; k < 16; ++k) recon[k] = (flags2 >> k) & 1 ? c2[0].word : c2[1].word;
      return err2;
    }
    for (int k = 0; k < 16; ++k) {
      const int q = QuadrantOf(k);
      recon[k] = (flags8 >> k) & 1 ? c8[2 * q] : c8[2 * q + 1];
    }
    Emit8(flags8, c8, out);  // may swap a quadrant's colours together with its mask bits
    return err8;
  }

  static int64_t TwoColours(const Block16& block, Centre c[2], uint16_t& flags) {
    int lo = 0, hi = 0;
    for (int k = 1; k < 16; ++k) {
      if (block.Luma(k) < block.Luma(lo)) lo = k;
      if (block.Luma(k) > block.Luma(hi)) hi = k;
    }
    c[0] = block.At(hi);
    c[1] = block.At(lo);
    uint16_t assigned = 0;
    for (int round = 0; round < 4; ++round) {
      int a[16], b[16], na = 0, nb = 0;
      uint16_t mask = 0;
      for (int k = 0; k < 16; ++k) {
        if (block.Dist(k, c[0]) <= block.Dist(k, c[1])) {
          a[na++] = k;
          mask |= static_cast<uint16_t>(1u << k);
        } else {
          b[nb++] = k;
        }
      }
      if (round > 0 && mask == assigned) break;  // settled
      assigned = mask;
      if (na) c[0] = block.Mean(a, na);
      if (nb) c[1] = block.Mean(b, nb);
    }
    flags = 0;
    int64_t err = 0;
    for (int k = 0; k < 16; ++k) {
      const int d0 = block.Dist(k, c[0]), d1 = block.Dist(k, c[1]);
      if (d0 <= d1) {
        flags |= static_cast<uint16_t>(1u << k);
        err += d0;
      } else {
        err += d1;
      }
    }
    return err;
  }

  static int64_t BestSplit(const Block16& block, const int* members, uint16_t& first,
                           uint16_t& second, uint16_t& flags) {
    int64_t best = INT64_MAX;
    uint16_t bestFlags = 0;
    for (int split = 0; split < 8; ++split) {
      int a[4], b[4], na = 0, nb = 0;
      a[na++] = members[0];
      for (int i = 1; i < 4; ++i) {
        if ((split >> (i - 1)) & 1)
          a[na++] = members[i];
        else
          b[nb++] = members[i];
      }
      const Centre ca = block.Mean(a, na);
      const Centre cb = nb ? block.Mean(b, nb) : ca;
      int64_t err = 0;
      uint16_t f = 0;
      for (int i = 0; i < na; ++i) {
        err += block.Dist(a[i], ca);
        f |= static_cast<uint16_t>(1u << a[i]);
      }
      for (int i = 0; i < nb; ++i) err += block.Dist(b[i], cb);
      if (err < best) {
        best = err;
        first = ca.word;
        second = cb.word;
        bestFlags = f;
        if (err == 0) break;
      }
    }
    flags |= bestFlags;
    return best;
  }

  static void Put16(std::vector<uint8_t>& out, uint16_t v) {
    out.push_back(static_cast<uint8_t>(v & 0xFF));
    out.push_back(static_cast<uint8_t>(v >> 8));
  }

  static void Emit1(uint16_t c, std::vector<uint8_t>& out) {
    const uint16_t word = c | 0x8000;
    // A colour whose high byte reads as a skip code goes out as a two-colour block.
    if (((word >> 8) & 0xFC) == 0x84) {
      Emit2(0, c, c, out);
      return;
    }
    Put16(out, word);
  }

  static void Emit2(uint16_t flags, uint16_t a, uint16_t b, std::vector<uint8_t>& out) {
    // Bit 15 must be clear: swap the colours and invert the mask when it is set.
    if (flags & 0x8000) {
      std::swap(a, b);
      flags = static_cast<uint16_t>(~flags);
    }
    Put16(out, flags);
    Put16(out, a);
    Put16(out, b);
  }

  static void Emit8(uint16_t flags, uint16_t* c, std::vector<uint8_t>& out) {
    if (flags & 0x8000) {  // bit 15 lies in the top-right quadrant
      std::swap(c[6], c[7]);
      flags ^= kQuadrantMask[3];
    }
    Put16(out, flags);
    Put16(out, c[0] | 0x8000);  // the marker of a quadrant block
    for (int i = 1; i < 8; ++i) Put16(out, c[i]);
  }

  // ---- 8-bit ----
  int D8(int a, int b) const { return dist8_[a * 256 + b]; }

  int64_t SkipError8(size_t base) const {
    return SkipError(cur8_, prev8_, base, [this](uint8_t a, uint8_t b) { return D8(a, b); });
  }

  // The best single index and the best pair among the distinct indices of `px` over
  // the pixels `members`.
  int64_t BestOne8(const uint8_t* px, const int* members, int n, uint8_t& colour) const {
    int64_t best = INT64_MAX;
    for (int i = 0; i < n; ++i) {
      const uint8_t c = px[members[i]];
      int64_t e = 0;
      for (int j = 0; j < n; ++j) e += D8(px[members[j]], c);
      if (e < best) {
        best = e;
        colour = c;
      }
    }
    return best;
  }

  int64_t BestPair8(const uint8_t* px, const int* members, int n, uint8_t& first, uint8_t& second,
                    uint16_t& flags) const {
    uint8_t distinct[16];
    int nd = 0;
    for (int i = 0; i < n; ++i) {
      const uint8_t c = px[members[i]];
      if (std::find(distinct, distinct + nd, c) == distinct + nd) distinct[nd++] = c;
    }
    if (nd == 1) {
      first = second = distinct[0];
      for (int i = 0; i < n; ++i) flags |= static_cast<uint16_t>(1u << members[i]);
      return 0;
    }
    int64_t best = INT64_MAX;
    for (int a = 0; a < nd; ++a)
      for (int b = a + 1; b < nd; ++b) {
        int64_t e = 0;
        for (int i = 0; i < n && e < best; ++i) {
          const uint8_t p = px[members[i]];
          e += std::min(D8(p, distinct[a]), D8(p, distinct[b]));
        }
        if (e < best) {
          best = e;
          first = distinct[a];
          second = distinct[b];
        }
      }
    for (int i = 0; i < n; ++i) {
      const uint8_t p = px[members[i]];
      if (D8(p, first) <= D8(p, second)) flags |= static_cast<uint16_t>(1u << members[i]);
    }
    return best;
  }

  int64_t CodeBlock8(size_t base, int64_t threshold, std::vector<uint8_t>& out) {
    uint8_t px[16];
    Gather(cur8_, base, px);
    int all[16];
    for (int k = 0; k < 16; ++k) all[k] = k;
    uint8_t one = px[0];
    const int64_t err1 = BestOne8(px, all, 16, one);
    uint8_t c2[2] = {px[0], px[0]};
    uint16_t flags2 = 0;
    const int64_t err2 = err1 <= threshold ? err1 : BestPair8(px, all, 16, c2[0], c2[1], flags2);
    uint8_t c8[8];
    uint16_t flags8 = 0;
    int64_t err8 = 0;
    if (err1 > threshold && err2 > threshold) {
      for (int q = 0; q < 4; ++q) {
        int members[4], n = 0;
        for (int k = 0; k < 16; ++k)
          if (QuadrantOf(k) == q) members[n++] = k;
        err8 += BestPair8(px, members, 4, c8[2 * q], c8[2 * q + 1], flags8);
      }
    } else {
      err8 = INT64_MAX;
    }

    uint8_t* recon = recon8_;
    if (err1 <= threshold || (err1 <= err2 && err1 <= err8)) {
      out.push_back(one);
      out.push_back(0x80);
      std::fill(recon, recon + 16, one);
      return err1;
    }
    if (err2 <= threshold || err2 <= err8) {
      uint16_t f = flags2;
      uint8_t a = c2[0], b = c2[1];
      if (f & 0x8000) {  // bit 15 must be clear
        std::swap(a, b);
        f = static_cast<uint16_t>(~f);
      }
      out.push_back(static_cast<uint8_t>(f & 0xFF));
      out.push_back(static_cast<uint8_t>(f >> 8));
      out.push_back(a);
      out.push_back(b);
      for (int k = 0; k < 16; ++k) recon[k] = (f >> k) & 1 ? a : b;
      return err2;
    }
    {
      uint16_t f = flags8;
      // The high byte must read 0x90 or more: bit 15 (top-right quadrant) and bit 12
      // (top-left quadrant) set.
      if (!(f & 0x8000)) {
        std::swap(c8[6], c8[7]);
        f ^= kQuadrantMask[3];
      }
      if (!(f & 0x1000)) {
        std::swap(c8[4], c8[5]);
        f ^= kQuadrantMask[2];
      }
      out.push_back(static_cast<uint8_t>(f & 0xFF));
      out.push_back(static_cast<uint8_t>(f >> 8));
      for (int i = 0; i < 8; ++i) out.push_back(c8[i]);
      for (int k = 0; k < 16; ++k) {
        const int q = QuadrantOf(k);
        recon[k] = (f >> k) & 1 ? c8[2 * q] : c8[2 * q + 1];
      }
    }
    return err8;
  }

  FrameGeometry g_;
  int blocksWide_ = 0, blocksHigh_ = 0, rowOffset_ = 0;
  bool eight_ = false;
  std::vector<RGBQUAD> palette_;
  std::vector<int> dist8_;
  std::vector<uint8_t> cur8_, prev8_;
  std::vector<uint16_t> cur16_, prev16_;
  std::vector<uint8_t> code_;
  uint8_t recon8_[16];
  uint16_t recon16_[16];
};

class Video1Decompressor : public VideoDecompressor {
 public:
  explicit Video1Decompressor(const FrameGeometry& g) : g_(g) {
    eight_ = g.bitCount == 8;
    const int bits = eight_ ? 8 : 16;
    outputFormat_ = MakeVideoFormat(g.width, g.height, bits, BI_RGB,
                                    static_cast<uint32_t>(DibRowStride(g.width, bits) * g.height),
                                    eight_ ? g.colours : std::vector<RGBQUAD>{});
    stride_ = DibRowStride(g.width, bits);
  }
  bool IntraOnly() const override { return false; }

  bool Decode(const uint8_t* data, size_t size, DibBlock& frame) override {
    const int blocksWide = g_.width / 4, blocksHigh = g_.height / 4;
    const int rowOffset = g_.height - 4 * blocksHigh;
    uint8_t* pixels = DibPixels(frame);
    size_t p = 0;
    int64_t skip = 0;
    for (int by = 0; by < blocksHigh; ++by) {
      for (int bx = 0; bx < blocksWide; ++bx) {
        if (skip > 0) {
          --skip;
          continue;
        }
        if (skip < 0) return true;  // a zero-length skip ends the frame
        if (p + 2 > size) return false;
        const uint8_t a = data[p], b = data[p + 1];
        p += 2;
        if ((b & 0xFC) == 0x84) {
          skip = ((b - 0x84) << 8) + a - 1;
          continue;
        }
        uint16_t flags = 0;
        uint16_t colours[8] = {};
        int count;
        if (eight_) {
          if (b < 0x80) {
            count = 2;
          } else if (b >= 0x90) {
            count = 8;
          } else {
            count = 1;
            colours[0] = a;
          }
          if (count > 1) {
            if (p + count > size) return false;
            flags = static_cast<uint16_t>(b << 8 | a);
            for (int i = 0; i < count; ++i) colours[i] = data[p + i];
            p += count;
          }
        } else {
          if (b < 0x80) {
            if (p + 4 > size) return false;
            flags = static_cast<uint16_t>(b << 8 | a);
            colours[0] = static_cast<uint16_t>(data[p] | data[p + 1] << 8);
            colours[1] = static_cast<uint16_t>(data[p + 2] | data[p + 3] << 8);
            p += 4;
            count = 2;
            if (colours[0] & 0x8000) {
              if (p + 12 > size) return false;
              for (int i = 2; i < 8; ++i, p += 2)
                colours[i] = static_cast<uint16_t>(data[p] | data[p + 1] << 8);
              count = 8;
            }
          } else {
            count = 1;
            colours[0] = static_cast<uint16_t>(b << 8 | a);
          }
        }
        for (int y = 0; y < 4; ++y) {
          uint8_t* row = pixels + static_cast<size_t>(rowOffset + 4 * by + y) * stride_;
          for (int x = 0; x < 4; ++x) {
            const int k = 4 * y + x;
            uint16_t c;
            if (count == 1)
              c = colours[0];
            else if (count == 2)
              c = colours[((flags >> k) & 1) ^ 1];
            else
              c = colours[2 * QuadrantOf(k) + (((flags >> k) & 1) ^ 1)];
            const int col = 4 * bx + x;
            if (eight_) {
              row[col] = static_cast<uint8_t>(c);
            } else {
              c &= 0x7FFF;
              row[2 * col] = static_cast<uint8_t>(c & 0xFF);
              row[2 * col + 1] = static_cast<uint8_t>(c >> 8);
            }
          }
        }
      }
    }
    return true;
  }

 private:
  FrameGeometry g_;
  bool eight_ = false;
  size_t stride_ = 0;
};

}  // namespace

std::unique_ptr<VideoCompressor> NewVideo1Compressor() {
  return std::make_unique<Video1Compressor>();
}

std::unique_ptr<VideoDecompressor> NewVideo1Decompressor(const std::vector<uint8_t>& format) {
  FrameGeometry g;
  if (!ReadGeometry(format, g) || (g.bitCount != 8 && g.bitCount != 16)) return nullptr;
  g.topDown = false;
  return std::make_unique<Video1Decompressor>(g);
}

}  // namespace quendrolix::codecs
