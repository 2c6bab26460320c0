#include "image/gif_reader.h"

#include <cstring>
#include <vector>

#include "image/image_io.h"
#include "image/picture_limits.h"

namespace quendrolix {

namespace {

constexpr int kMaxCodes = 4096;
constexpr uint16_t kNoCode = 4096;

// Bits of the image data, least significant first, across the data sub-blocks.
class SubBlockBits {
 public:
  explicit SubBlockBits(std::FILE* f) : f_(f) {}

  // The next code of `width` bits; false when the data ends (terminator or end of file).
  bool Next(int width, int& code) {
    while (count_ < width) {
      int byte = NextByte();
      if (byte < 0) return false;
      bits_ |= static_cast<uint32_t>(byte) << count_;
      count_ += 8;
    }
    code = static_cast<int>(bits_ & ((1u << width) - 1));
    bits_ >>= width;
    count_ -= width;
    return true;
  }

  // Reads the remaining sub-blocks up to the terminator.
  void SkipRest() {
    while (!ended_) {
      if (left_ > 0) {
        if (std::fseek(f_, left_, SEEK_CUR) != 0) ended_ = true;
        left_ = 0;
      }
      if (!ended_) StartBlock();
    }
  }

 private:
  void StartBlock() {
    int length = std::fgetc(f_);
    if (length <= 0) {  // terminator or end of file
      ended_ = true;
      return;
    }
    left_ = length;
  }
  int NextByte() {
    while (!ended_ && left_ == 0) StartBlock();
    if (ended_) return -1;
    int c = std::fgetc(f_);
    if (c < 0) {
      ended_ = true;
      return -1;
    }
    --left_;
    return c;
  }

  std::FILE* f_;
  uint32_t bits_ = 0;
  int count_ = 0;
  int left_ = 0;
  bool ended_ = false;
};

// Decodes the LZW data into `out` (one byte a pixel) and returns the pixels the data spelt.
// Pixels past the end of `out` are dropped: a corrupt file cannot make the decoder write
// beyond its buffer.
size_t DecodeLzw(std::FILE* f, uint8_t* out, size_t outSize) {
  int m = std::fgetc(f);
  if (m < 1 || m > 11) return 0;  // 12-bit codes leave no room for the table
  SubBlockBits bits(f);
  const int clear = 1 << m;
  const int end = clear + 1;
  int width = m + 1;
  int nextFree = clear + 2;
  int previous = kNoCode;
  int firstChar = 0;
  uint16_t prefix[kMaxCodes];
  uint8_t suffix[kMaxCodes];
  uint8_t stack[kMaxCodes + 1];
  for (int i = 0; i < kMaxCodes; ++i) {
    prefix[i] = kNoCode;
    suffix[i] = static_cast<uint8_t>(i < clear ? i : 0);
  }
  size_t pos = 0;
  int code;
  while (bits.Next(width, code)) {
    if (code == end) return pos;
    if (code == clear) {
      width = m + 1;
      nextFree = clear + 2;
      previous = kNoCode;
      continue;
    }
    if (code > nextFree) break;
    if (previous == kNoCode) {
      if (code >= clear) break;  // only a root can follow a clear
      if (pos < outSize) out[pos] = static_cast<uint8_t>(code);
      ++pos;
      previous = code;
      firstChar = code;
      continue;
    }
    // Spell the string of the code backwards onto the stack.
    int depth = 0;
    int walk = code;
    if (code == nextFree) {
      stack[depth++] = static_cast<uint8_t>(firstChar);
      walk = previous;
    }
    while (walk != kNoCode && depth <= kMaxCodes) {
      stack[depth++] = suffix[walk];
      walk = prefix[walk];
    }
    if (walk != kNoCode) break;  // cannot happen with prefixes below their codes
    firstChar = stack[depth - 1];
    while (depth > 0) {
      uint8_t value = stack[--depth];
      if (pos < outSize) out[pos] = value;
      ++pos;
    }
    if (nextFree < kMaxCodes) {
      prefix[nextFree] = static_cast<uint16_t>(previous);
      suffix[nextFree] = static_cast<uint8_t>(firstChar);
      ++nextFree;
      if (nextFree < kMaxCodes && (nextFree & (nextFree - 1)) == 0 && width < 12) ++width;
    }
    previous = code;
  }
  bits.SkipRest();
  return pos;
}

int DepthOf(int packed) {
  if ((packed & 7) == 0) return 1;
  return (packed & 4) ? 8 : 4;
}

HDIB ReadImage(std::FILE* f, uint8_t colourBuffer[768], int depth, GifImageInfo& info,
               int& status) {
  uint8_t d[9];
  if (!ReadExact(f, d, sizeof d)) return nullptr;
  info.left = Le16(d);
  info.top = Le16(d + 2);
  const int width = Le16(d + 4), height = Le16(d + 6), packed = d[8];
  if (packed & 0x80) {
    size_t bytes = (size_t{2} << (packed & 7)) * 3;
    if (!ReadExact(f, colourBuffer, bytes)) return nullptr;
    depth = DepthOf(packed);
  }
  if (width == 0 || height == 0) return nullptr;
  if (!PictureWithinBudget(width, height)) {
    status = kGifStatusNoMemory;
    return nullptr;
  }
  // One byte a pixel at most LZW's best ratio: a 34-byte file cannot hold 16384 x 16384.
  const long here = std::ftell(f);
  const int64_t length = FileLength(f);
  if (here < 0 || length < here ||
      !CodedBytesCanHold(static_cast<uint64_t>(length - here), uint64_t(width) * height,
                         kRatioLzw)) {
    status = kGifStatusShortData;
    return nullptr;
  }
  const uint32_t colours = 1u << depth;
  HDIB dib = NewDib(width, height, depth, colours);
  if (!dib) {
    status = kGifStatusNoMemory;
    return nullptr;
  }
  RGBQUAD* table = dib->colours();
  for (uint32_t i = 0; i < colours; ++i)
    table[i] = {colourBuffer[3 * i + 2], colourBuffer[3 * i + 1], colourBuffer[3 * i], 0};

  std::vector<uint8_t> work;
  try {
    work.assign(static_cast<size_t>(width) * height + 256, 0);
  } catch (const std::exception&) {
    status = kGifStatusNoMemory;
    return nullptr;
  }
  // Data that ends, or goes wrong, before every pixel was spelt would leave the rest of
  // the picture black: such a picture is refused.
  if (DecodeLzw(f, work.data(), work.size()) < static_cast<size_t>(width) * height) {
    status = kGifStatusShortData;
    return nullptr;
  }

  // Which decoded row shows at each display row.
  std::vector<int> decodedRowOf(height);
  if (packed & 0x40) {
    static const int kStart[4] = {0, 4, 2, 1}, kStep[4] = {8, 8, 4, 2};
    int decoded = 0;
    for (int pass = 0; pass < 4; ++pass)
      for (int row = kStart[pass]; row < height; row += kStep[pass]) decodedRowOf[row] = decoded++;
  } else {
    for (int row = 0; row < height; ++row) decodedRowOf[row] = row;
  }
  const size_t stride = DibRowStride(width, depth);
  uint8_t* rows = DibPixels(*dib);
  const uint8_t mask = static_cast<uint8_t>(colours - 1);
  for (int k = 0; k < height; ++k) {
    const uint8_t* src = work.data() + static_cast<size_t>(decodedRowOf[height - 1 - k]) * width;
    uint8_t* dst = rows + static_cast<size_t>(k) * stride;
    if (depth == 8) {
      std::memcpy(dst, src, width);
    } else if (depth == 4) {
      for (int x = 0; x < width; ++x)
        dst[x >> 1] |= static_cast<uint8_t>((src[x] & mask) << ((x & 1) ? 0 : 4));
    } else {
      for (int x = 0; x < width; ++x)
        if (src[x] & mask) dst[x >> 3] |= static_cast<uint8_t>(0x80 >> (x & 7));
    }
  }
  return dib;
}

}  // namespace

HDIB ReadGifStream(std::FILE* f, long imageOffset, GifImageInfo* infoOut, int* statusOut) {
  int status = kGifStatusOk;
  GifImageInfo info;
  HDIB dib;
  uint8_t signature[6];
  uint8_t screen[7];
  if (!f) {
    status = kGifStatusCannotOpen;
  } else if (ReadExact(f, signature, 6) && std::memcmp(signature, "GIF8", 4) == 0 &&
             ReadExact(f, screen, 7)) {
    const int packed = screen[4];
    int depth = DepthOf(packed);
    uint8_t colourBuffer[768] = {};
    bool ok = true;
    if (packed & 0x80) {
      ok = ReadExact(f, colourBuffer, (size_t{2} << (packed & 7)) * 3);
    } else {
      const int step = depth == 1 ? 255 : depth == 4 ? 16 : 1;
      for (int i = 0; i < (1 << depth); ++i)
        std::memset(colourBuffer + 3 * i, static_cast<uint8_t>(i * step), 3);
    }
    const int background = screen[5];
    info.backgroundRed = colourBuffer[3 * background];
    info.backgroundGreen = colourBuffer[3 * background + 1];
    info.backgroundBlue = colourBuffer[3 * background + 2];
    if (ok && imageOffset != 0) ok = std::fseek(f, imageOffset, SEEK_SET) == 0;
    while (ok) {
      int introducer = std::fgetc(f);
      if (introducer < 0 || introducer == 0x3B) break;
      if (introducer == 0x2C) {
        dib = ReadImage(f, colourBuffer, depth, info, status);
        break;
      }
      if (introducer != 0x21) continue;  // stray bytes (and block terminators) are skipped
      int label = std::fgetc(f);
      if (label < 0) break;
      if (label == 0xF9) {
        uint8_t g[5];
        if (!ReadExact(f, g, sizeof g)) break;
        info.disposal = (g[1] >> 2) & 7;
        info.transparent = g[1] & 1;
        info.delay = Le16(g + 2);
        info.transparentIndex = g[4];
        continue;  // the block's terminator is met as an unknown introducer
      }
      for (;;) {
        int length = std::fgetc(f);
        if (length <= 0) {
          ok = length == 0;
          break;
        }
        if (std::fseek(f, length, SEEK_CUR) != 0) {
          ok = false;
          break;
        }
      }
    }
  }
  if (infoOut) *infoOut = info;
  if (statusOut) *statusOut = status;
  return dib;
}

HDIB ReadGif(const std::string& path, long imageOffset, long /*secondImageOffset*/,
             GifImageInfo* info, int* status) {
  FileHandle f = OpenFile(path, "rb");
  return ReadGifStream(f.get(), imageOffset, info, status);
}

}  // namespace quendrolix
