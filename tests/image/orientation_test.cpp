// The EXIF orientation tag and the turns it asks for.

#include "image/orientation.h"

#include <gtest/gtest.h>

#include "image/image_io.h"
#include "support/image_fixtures.h"

namespace quendrolix {
namespace {

// A TIFF-structured EXIF block with IFD0 holding the given entries (tag, type, count,
// 4-byte value field), in either byte order, optionally after the JPEG "Exif\0\0" prefix.
struct Entry {
  uint16_t tag, type;
  uint32_t count, value;
};
std::vector<uint8_t> ExifBlock(const std::vector<Entry>& entries, bool bigEndian,
                               bool prefix = true) {
  std::vector<uint8_t> b;
  if (prefix) b = {'E', 'x', 'i', 'f', 0, 0};
  const size_t base = b.size();
  auto p16 = [&](uint32_t v) {
    if (bigEndian) {
      b.push_back(uint8_t(v >> 8));
      b.push_back(uint8_t(v));
    } else {
      b.push_back(uint8_t(v));
      b.push_back(uint8_t(v >> 8));
    }
  };
  auto p32 = [&](uint32_t v) {
    if (bigEndian) {
      p16(v >> 16);
      p16(v & 0xFFFF);
    } else {
      p16(v & 0xFFFF);
      p16(v >> 16);
    }
  };
  b.push_back(bigEndian ? 'M' : 'I');
  b.push_back(bigEndian ? 'M' : 'I');
  p16(42);
  p32(8);
  p16(uint32_t(entries.size()));
  for (const Entry& e : entries) {
    p16(e.tag);
    p16(e.type);
    p32(e.count);
    // A SHORT value sits in the first two bytes of the field.
    if (e.type == 3 && e.count == 1) {
      p16(e.value);
      p16(0);
    } else {
      p32(e.value);
    }
  }
  p32(0);
  (void)base;
  return b;
}

int Orientation(const std::vector<uint8_t>& b) {
  return ExifOrientation(b.data(), b.size());
}

TEST(ExifOrientationTest, FindsTheTagInEitherByteOrderWithOrWithoutPrefix) {
  for (bool big : {false, true})
    for (bool prefix : {false, true})
      for (int value = 1; value <= 8; ++value)
        EXPECT_EQ(Orientation(
                      ExifBlock({{0x010F, 2, 4, 0}, {0x0112, 3, 1, uint32_t(value)}}, big, prefix)),
                  value);
}

TEST(ExifOrientationTest, MissingDamagedOrOddTagsGiveNone) {
  EXPECT_EQ(Orientation(ExifBlock({{0x010F, 2, 4, 0}}, false)), 0);
  EXPECT_EQ(Orientation(ExifBlock({{0x0112, 3, 1, 9}}, false)), 0);  // no such turn
  EXPECT_EQ(Orientation(ExifBlock({{0x0112, 3, 1, 0}}, true)), 0);
  EXPECT_EQ(Orientation(ExifBlock({{0x0112, 4, 1, 6}}, false)), 0);  // LONG, not SHORT
  EXPECT_EQ(Orientation(ExifBlock({{0x0112, 3, 2, 6}}, false)), 0);  // two values
  std::vector<uint8_t> good = ExifBlock({{0x0112, 3, 1, 6}}, false);
  // Cut inside the entry, an IFD offset beyond the end, a wrong magic number.
  for (size_t keep = 0; keep < good.size() - 4; ++keep) {
    std::vector<uint8_t> cut(good.begin(), good.begin() + keep);
    EXPECT_EQ(Orientation(cut), 0) << keep;
  }
  std::vector<uint8_t> far = good;
  far[6 + 4] = 0xF0;
  EXPECT_EQ(Orientation(far), 0);
  std::vector<uint8_t> magic = good;
  magic[6 + 2] = 43;
  EXPECT_EQ(Orientation(magic), 0);
  // A huge entry count in a short block stops at the block's end.
  std::vector<uint8_t> many = good;
  many[6 + 8] = 0xFF;
  many[6 + 9] = 0xFF;
  EXPECT_EQ(Orientation(many), 6);
  EXPECT_EQ(ExifOrientation(nullptr, 0), 0);
}

// A 3 x 2 picture whose pixels are numbered 1..6 row by row from the top, at each depth.
HDIB Numbered(int bits) {
  HDIB dib = NewDib(3, 2, bits, bits <= 8 ? 1u << bits : 0);
  const size_t stride = DibRowStride(3, bits);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) {
      const int v = 1 + y * 3 + x;
      uint8_t* row = DibPixels(*dib) + static_cast<size_t>(1 - y) * stride;
      switch (bits) {
        case 4:
          row[x / 2] |= uint8_t(v << ((x & 1) ? 0 : 4));
          break;
        case 8:
          row[x] = uint8_t(v);
          break;
        default:
          for (int c = 0; c < bits / 8; ++c) row[x * (bits / 8) + c] = uint8_t(v * 10 + c);
      }
    }
  if (bits <= 8)
    for (uint32_t i = 0; i < (1u << bits); ++i)
      dib->colours()[i] = {uint8_t(i), uint8_t(i * 2), uint8_t(i * 3), 0};
  return dib;
}

// The numbers of a turned picture, row by row from the top.
std::vector<int> NumbersOf(const DibBlock& dib) {
  const BITMAPINFOHEADER& h = dib.header();
  const size_t stride = DibRowStride(h.biWidth, h.biBitCount);
  std::vector<int> out;
  for (int y = 0; y < h.biHeight; ++y) {
    const uint8_t* row = DibPixels(dib) + static_cast<size_t>(h.biHeight - 1 - y) * stride;
    for (int x = 0; x < h.biWidth; ++x)
      out.push_back(h.biBitCount == 8 ? row[x] : row[x * (h.biBitCount / 8)] / 10);
  }
  return out;
}

TEST(OrientDibTest, EachOrientationTurnsThePictureUpright) {
  // 1 2 3 / 4 5 6 as stored; what shows for each tag value.
  const std::vector<std::vector<int>> expected = {
      {},
      {1, 2, 3, 4, 5, 6},  // 1: as stored
      {3, 2, 1, 6, 5, 4},  // 2: mirrored
      {6, 5, 4, 3, 2, 1},  // 3: half turn
      {4, 5, 6, 1, 2, 3},  // 4: flipped
      {1, 4, 2, 5, 3, 6},  // 5: transposed
      {4, 1, 5, 2, 6, 3},  // 6: quarter turn clockwise
      {6, 3, 5, 2, 4, 1},  // 7: transverse
      {3, 6, 2, 5, 1, 4},  // 8: quarter turn anticlockwise
  };
  for (int bits : {4, 8, 16, 24, 32})
    for (int o = 2; o <= 8; ++o) {
      SCOPED_TRACE(::testing::Message() << bits << " bits, orientation " << o);
      HDIB turned = OrientDib(Numbered(bits), o);
      ASSERT_TRUE(turned);
      const BITMAPINFOHEADER& h = turned->header();
      EXPECT_EQ(h.biWidth, o >= 5 ? 2 : 3);
      EXPECT_EQ(h.biHeight, o >= 5 ? 3 : 2);
      EXPECT_EQ(h.biBitCount, bits < 8 ? 8 : bits);
      EXPECT_EQ(NumbersOf(*turned), expected[o]);
      if (bits <= 8) {
        EXPECT_EQ(turned->colours()[5].rgbRed, 15);  // the colours came along
      } else {
        // Every byte of a pixel moves with it.
        const uint8_t* first =
            DibPixels(*turned) + (h.biHeight - 1) * DibRowStride(h.biWidth, bits);
        for (int c = 1; c < bits / 8; ++c) EXPECT_EQ(first[c], first[0] + c);
      }
    }
  // Nothing to do, or nothing known: the same block back.
  HDIB same = Numbered(24);
  const DibBlock* before = same.get();
  for (int o : {0, 1, 9, -3}) {
    same = OrientDib(std::move(same), o);
    EXPECT_EQ(same.get(), before);
  }
}

TEST(OrientDibTest, OneBitPicturesKeepTheirColoursAsEightBits) {
  HDIB dib = NewDib(9, 1, 1, 2);
  DibPixels(*dib)[0] = 0x80;  // the first pixel set
  DibPixels(*dib)[1] = 0x80;  // the ninth
  dib->colours()[1] = {10, 20, 30, 0};
  HDIB turned = OrientDib(std::move(dib), 6);
  ASSERT_TRUE(turned);
  EXPECT_EQ(turned->header().biBitCount, 8);
  EXPECT_EQ(turned->header().biWidth, 1);
  EXPECT_EQ(turned->header().biHeight, 9);
  EXPECT_EQ(NumbersOf(*turned), (std::vector<int>{1, 0, 0, 0, 0, 0, 0, 0, 1}));
  EXPECT_EQ(turned->colours()[1].rgbRed, 30);
}

}  // namespace
}  // namespace quendrolix
