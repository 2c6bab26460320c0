#include "image/tga_reader.h"

#include <cstring>
#include <vector>

#include "image/image_io.h"
#include "image/picture_limits.h"

namespace quendrolix {

namespace {

constexpr size_t kRleBufferSize = 16384;

// Run-length packets through a fixed buffer; packets go on across row ends.
class RleInput {
 public:
  RleInput(std::FILE* f, int pixelBytes) : f_(f), pixelBytes_(pixelBytes) {}

  // Fills `count` pixels; false when the data ends first.
  bool Read(uint8_t* out, size_t count) {
    while (count > 0) {
      if (left_ == 0) {
        int n = NextByte();
        if (n < 0) return false;
        if (n >= 128) {
          run_ = true;
          left_ = n - 127;
          for (int i = 0; i < pixelBytes_; ++i) {
            int c = NextByte();
            if (c < 0) return false;
            pixel_[i] = static_cast<uint8_t>(c);
          }
        } else {
          run_ = false;
          left_ = n + 1;
        }
      }
      if (run_) {
        std::memcpy(out, pixel_, pixelBytes_);
      } else {
        for (int i = 0; i < pixelBytes_; ++i) {
          int c = NextByte();
          if (c < 0) return false;
          out[i] = static_cast<uint8_t>(c);
        }
      }
      out += pixelBytes_;
      --left_;
      --count;
    }
    return true;
  }

 private:
  int NextByte() {
    if (at_ == filled_) {
      filled_ = std::fread(buffer_, 1, sizeof buffer_, f_);
      at_ = 0;
      if (filled_ == 0) return -1;
    }
    return buffer_[at_++];
  }

  std::FILE* f_;
  int pixelBytes_;
  uint8_t buffer_[kRleBufferSize];
  size_t at_ = 0;
  size_t filled_ = 0;
  int left_ = 0;
  bool run_ = false;
  uint8_t pixel_[4] = {};
};

}  // namespace

HDIB ReadTgaStream(std::FILE* f, int* statusOut) {
  int status = kTgaStatusNotAccepted;
  auto fail = [&](int code) -> HDIB {
    if (statusOut) *statusOut = code;
    return nullptr;
  };
  if (!f) return fail(kTgaStatusCannotOpen);
  uint8_t h[18];
  if (!ReadExact(f, h, sizeof h)) return fail(status);
  const int idLength = h[0], mapType = h[1], type = h[2];
  const int mapFirst = Le16(h + 3), mapLength = Le16(h + 5), mapBits = h[7];
  const int width = Le16(h + 12), height = Le16(h + 14), depth = h[16], descriptor = h[17];
  const bool mapped = type == 1 || type == 9;
  const bool grey = type == 3 || type == 11;
  const bool trueColour = type == 2 || type == 10;
  if (!((mapped || grey)
            ? depth == 8
            : trueColour && (depth == 15 || depth == 16 || depth == 24 || depth == 32)))
    return fail(status);
  if (width == 0 || height == 0) return fail(status);
  // A colour-mapped picture needs its map; entries must be of a size we can read.
  if (mapped &&
      (mapType != 1 || !(mapBits == 15 || mapBits == 16 || mapBits == 24 || mapBits == 32)))
    return fail(status);

  if (!PictureWithinBudget(width, height)) return fail(kTgaStatusNoMemory);
  // The pixels must fit in what follows the header: as they are, or at run-length's best
  // of 128 pixels for a count byte and one pixel.
  const int pixelBytes = depth == 15 ? 2 : depth / 8;
  const uint64_t pixelData = uint64_t(width) * height * pixelBytes;
  const int64_t length = FileLength(f);
  if (length < 18 || !CodedBytesCanHold(static_cast<uint64_t>(length - 18), pixelData,
                                        type >= 9 ? kRatioTgaRle : 1))
    return fail(kTgaStatusReadFailed);

  const int bitCount = depth == 8 ? 8 : 24;
  HDIB dib = NewDib(width, height, bitCount, bitCount == 8 ? 256 : 0);
  if (!dib) return fail(kTgaStatusNoMemory);

  if (std::fseek(f, 18 + idLength, SEEK_SET) != 0) return fail(kTgaStatusReadFailed);
  const int mapEntryBytes = mapBits == 15 ? 2 : (mapBits + 7) / 8;
  const size_t mapBytes = mapType == 1 ? size_t(mapLength) * mapEntryBytes : 0;
  RGBQUAD* table = bitCount == 8 ? dib->colours() : nullptr;
  if (mapped) {
    std::vector<uint8_t> map(mapBytes);
    if (!ReadExact(f, map.data(), map.size())) return fail(kTgaStatusReadFailed);
    for (int i = 0; i < mapLength; ++i) {
      int index = mapFirst + i;
      if (index > 255) break;  // entries past the table have no pixel that could use them
      const uint8_t* e = map.data() + size_t(i) * mapEntryBytes;
      if (mapEntryBytes == 2) {
        int v = Le16(e);
        table[index] = {static_cast<uint8_t>((v & 31) << 3),
                        static_cast<uint8_t>(((v >> 5) & 31) << 3),
                        static_cast<uint8_t>(((v >> 10) & 31) << 3), 0};
      } else {
        table[index] = {e[0], e[1], e[2], 0};
      }
    }
  } else {
    if (mapBytes && std::fseek(f, static_cast<long>(mapBytes), SEEK_CUR) != 0)
      return fail(kTgaStatusReadFailed);
    if (grey)
      for (int i = 0; i < 256; ++i)
        table[i] = {static_cast<uint8_t>(i), static_cast<uint8_t>(i), static_cast<uint8_t>(i), 0};
  }

  const size_t stride = DibRowStride(width, bitCount);
  uint8_t* rows = DibPixels(*dib);
  const bool topFirst = (descriptor & 0x20) != 0;
  const bool rle = type >= 9;
  std::vector<uint8_t> line(size_t(width) * pixelBytes);
  std::unique_ptr<RleInput> packets;
  if (rle) packets = std::make_unique<RleInput>(f, pixelBytes);
  for (int y = 0; y < height; ++y) {
    bool ok = rle ? packets->Read(line.data(), width) : ReadExact(f, line.data(), line.size());
    if (!ok) return fail(kTgaStatusReadFailed);
    uint8_t* dst = rows + size_t(topFirst ? height - 1 - y : y) * stride;
    const uint8_t* src = line.data();
    switch (pixelBytes) {
      case 1:
      case 3:
        std::memcpy(dst, src, line.size());
        break;
      case 2:
        for (int x = 0; x < width; ++x) {
          int v = Le16(src + 2 * x);
          dst[3 * x] = static_cast<uint8_t>((v & 31) << 3);
          dst[3 * x + 1] = static_cast<uint8_t>(((v >> 5) & 31) << 3);
          dst[3 * x + 2] = static_cast<uint8_t>(((v >> 10) & 31) << 3);
        }
        break;
      case 4:
        for (int x = 0; x < width; ++x) std::memcpy(dst + 3 * x, src + 4 * x, 3);
        break;
    }
  }
  if (statusOut) *statusOut = status;
  return dib;
}

HDIB ReadTga(const std::string& path, int* status) {
  FileHandle f = OpenFile(path, "rb");
  return ReadTgaStream(f.get(), status);
}

}  // namespace quendrolix
