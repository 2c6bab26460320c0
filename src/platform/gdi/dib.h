#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace quendrolix {

// The 40-byte information header of a device-independent bitmap, laid out as on disk.
#pragma pack(push, 1)
struct BITMAPINFOHEADER {
  uint32_t biSize;
  int32_t biWidth;
  int32_t biHeight;  // positive: rows stored bottom-up
  uint16_t biPlanes;
  uint16_t biBitCount;
  uint32_t biCompression;
  uint32_t biSizeImage;
  int32_t biXPelsPerMeter;
  int32_t biYPelsPerMeter;
  uint32_t biClrUsed;
  uint32_t biClrImportant;
};

struct RGBQUAD {
  uint8_t rgbBlue;
  uint8_t rgbGreen;
  uint8_t rgbRed;
  uint8_t rgbReserved;
};
#pragma pack(pop)
static_assert(sizeof(BITMAPINFOHEADER) == 40);
static_assert(sizeof(RGBQUAD) == 4);

constexpr uint32_t BI_RGB = 0;
constexpr uint32_t BI_RLE8 = 1;
constexpr uint32_t BI_RLE4 = 2;
constexpr uint32_t BI_BITFIELDS = 3;

// A packed DIB in one block: the information header, the colour table (blue, green,
// red, 0 entries) and the pixel rows bottom row first, each padded to 4 bytes. Every
// decoder produces one; the owner frees it (FreeDib or by letting the HDIB go).
class DibBlock {
 public:
  // A zero-filled block of `bytes`; null when it cannot be had.
  static std::unique_ptr<DibBlock> Allocate(size_t bytes);
  // A block holding a copy of `bytes`.
  static std::unique_ptr<DibBlock> FromBytes(const uint8_t* bytes, size_t size);

  uint8_t* data() { return bytes_.data(); }
  const uint8_t* data() const { return bytes_.data(); }
  size_t size() const { return bytes_.size(); }

  // The header at the start of the block (the block is at least 40 bytes long).
  BITMAPINFOHEADER& header() { return *reinterpret_cast<BITMAPINFOHEADER*>(bytes_.data()); }
  const BITMAPINFOHEADER& header() const {
    return *reinterpret_cast<const BITMAPINFOHEADER*>(bytes_.data());
  }
  RGBQUAD* colours() { return reinterpret_cast<RGBQUAD*>(bytes_.data() + header().biSize); }
  const RGBQUAD* colours() const {
    return reinterpret_cast<const RGBQUAD*>(bytes_.data() + header().biSize);
  }

 private:
  explicit DibBlock(size_t bytes) : bytes_(bytes, 0) {}
  std::vector<uint8_t> bytes_;
};

using HDIB = std::unique_ptr<DibBlock>;

// Colours-used when non-zero, else 2, 16 or 256 for 1, 4 and 8 bits, else 0.
uint32_t DibColourCount(const BITMAPINFOHEADER& header);
inline uint32_t DibColourCount(const DibBlock& dib) {
  return DibColourCount(dib.header());
}
// 1, 4, 8, 16, 24 or 32: the depths a DIB block may have.
constexpr bool IsDibBitCount(int bitCount) {
  return bitCount == 1 || bitCount == 4 || bitCount == 8 || bitCount == 16 || bitCount == 24 ||
         bitCount == 32;
}
// Row stride in bytes: ((width * bits + 31) / 32) * 4.
size_t DibRowStride(int64_t width, int bitCount);
// Offset of the pixel rows from the start of the block.
size_t DibPixelOffset(const DibBlock& dib);
uint8_t* DibPixels(DibBlock& dib);
const uint8_t* DibPixels(const DibBlock& dib);
// Where the rows really start: as DibPixelOffset, plus the three 32-bit colour masks that
// follow a 40-byte header when the compression is BI_BITFIELDS.
size_t DibBitsOffset(const DibBlock& dib);

// A fresh uncompressed block for width x height at `bitCount` with `colours` table
// entries (colours used = colours); null when the size is unreasonable or memory short.
HDIB NewDib(int width, int height, int bitCount, uint32_t colours);

// A header of the given layout (one plane; `colours` entries used).
BITMAPINFOHEADER DibHeader(int width, int height, int bitCount, uint32_t compression,
                           uint32_t sizeImage, uint32_t colours);

// True when the block is long enough for its header, colour table and every pixel row
// its header promises (uncompressed rows; compressed ones need biSizeImage bytes).
// Readers of blocks from outside call this before touching pixels.
bool DibIsConsistent(const DibBlock& dib);

inline void FreeDib(HDIB& dib) {
  dib.reset();
}

// The largest picture any reader or writer accepts; larger ones are refused before
// anything is allocated.
constexpr int64_t kMaxImageDimension = 32768;
constexpr int64_t kMaxImagePixels = int64_t{1} << 28;

// The pixel limit in force: kMaxImagePixels unless lowered (fuzzing lowers it so that
// every input runs quickly). Values above kMaxImagePixels are taken as kMaxImagePixels.
int64_t DibPixelLimit();
void SetDibPixelLimit(int64_t pixels);

}  // namespace quendrolix
