#include "image/gif_reader.h"

#include <gtest/gtest.h>

#include "image/cbmp.h"
#include "image/image_io.h"
#include "support/image_fixtures.h"
#include "support/test_support.h"

namespace quendrolix {
namespace {
using testing::TempDir;

// LZW codes packed least significant bit first into sub-blocks of up to 255 bytes.
std::vector<uint8_t> PackCodes(int minimumSize, const std::vector<std::pair<int, int>>& codes) {
  std::vector<uint8_t> bytes;
  uint32_t bits = 0;
  int count = 0;
  for (auto [code, width] : codes) {
    bits |= uint32_t(code) << count;
    count += width;
    while (count >= 8) {
      bytes.push_back(uint8_t(bits));
      bits >>= 8;
      count -= 8;
    }
  }
  if (count) bytes.push_back(uint8_t(bits));
  std::vector<uint8_t> out = {uint8_t(minimumSize)};
  for (size_t i = 0; i < bytes.size(); i += 255) {
    size_t n = std::min<size_t>(255, bytes.size() - i);
    out.push_back(uint8_t(n));
    out.insert(out.end(), bytes.begin() + i, bytes.begin() + i + n);
  }
  out.push_back(0);
  return out;
}

// Roots only, a clear before the table would widen the codes: any picture, plainly coded.
std::vector<uint8_t> PlainLzw(int m, const std::vector<int>& pixels) {
  std::vector<std::pair<int, int>> codes;
  const int clear = 1 << m;
  const size_t chunk = std::max(1, (1 << m) - 3);
  for (size_t i = 0; i < pixels.size(); i += chunk) {
    codes.push_back({clear, m + 1});
    for (size_t k = i; k < std::min(pixels.size(), i + chunk); ++k)
      codes.push_back({pixels[k], m + 1});
  }
  codes.push_back({clear + 1, m + 1});
  return PackCodes(m, codes);
}

struct GifBuilder {
  std::string version = "GIF89a";
  int width = 2, height = 2, tableBits = 1;
  bool globalTable = true, interlaced = false;
  std::vector<uint8_t> colours;  // RGB triples; made up when empty
  std::vector<uint8_t> extension;
  std::vector<int> pixels;
  std::vector<uint8_t> data;  // LZW data; made from pixels when empty
  int background = 0;

  std::vector<uint8_t> Bytes() const {
    std::vector<uint8_t> out(version.begin(), version.end());
    out.resize(13);
    PutLe16(out.data() + 6, width);
    PutLe16(out.data() + 8, height);
    out[10] = uint8_t((globalTable ? 0x80 : 0) | (tableBits - 1));
    out[11] = uint8_t(background);
    if (globalTable) {
      std::vector<uint8_t> table = colours;
      table.resize(size_t(3) << tableBits);
      if (colours.empty())
        for (size_t i = 0; i < table.size(); ++i) table[i] = uint8_t(i * 37);
      out.insert(out.end(), table.begin(), table.end());
    }
    out.insert(out.end(), extension.begin(), extension.end());
    std::vector<uint8_t> d = {0x2C, 3, 0, 4, 0, 0, 0, 0, 0, uint8_t(interlaced ? 0x40 : 0)};
    PutLe16(d.data() + 5, width);
    PutLe16(d.data() + 7, height);
    out.insert(out.end(), d.begin(), d.end());
    std::vector<uint8_t> lzw = data.empty() ? PlainLzw(std::max(2, tableBits), pixels) : data;
    out.insert(out.end(), lzw.begin(), lzw.end());
    out.push_back(0x3B);
    return out;
  }
};

HDIB Read(const std::vector<uint8_t>& bytes, GifImageInfo* info = nullptr, int* status = nullptr) {
  FileHandle f = OpenMemory(bytes.data(), bytes.size());
  return ReadGifStream(f.get(), 0, info, status);
}

// Indices of a decoded block, top-down.
std::vector<int> Indices(const DibBlock& dib) {
  const BITMAPINFOHEADER& h = dib.header();
  std::vector<int> out;
  const size_t stride = DibRowStride(h.biWidth, h.biBitCount);
  for (int y = h.biHeight - 1; y >= 0; --y) {
    const uint8_t* row = DibPixels(dib) + y * stride;
    for (int x = 0; x < h.biWidth; ++x) {
      if (h.biBitCount == 8) out.push_back(row[x]);
      if (h.biBitCount == 4) out.push_back((x & 1) ? row[x / 2] & 15 : row[x / 2] >> 4);
      if (h.biBitCount == 1) out.push_back((row[x / 8] >> (7 - x % 8)) & 1);
    }
  }
  return out;
}

TEST(GifReaderTest, BothVersionsLoadAndOtherSignaturesDoNot) {
  GifBuilder g;
  g.pixels = {0, 1, 1, 0};
  for (const char* version : {"GIF87a", "GIF89a"}) {
    g.version = version;
    HDIB dib = Read(g.Bytes());
    ASSERT_TRUE(dib) << version;
    EXPECT_EQ(dib->header().biBitCount, 1);
    EXPECT_EQ(Indices(*dib), g.pixels);
  }
  g.version = "GIF9 a";
  EXPECT_FALSE(Read(g.Bytes()));
  int status = 0;
  EXPECT_FALSE(ReadGif("/no/such/file.gif", 0, 0, nullptr, &status));
  EXPECT_EQ(status, kGifStatusCannotOpen);
}

TEST(GifReaderTest, DepthFollowsTheTableSize) {
  // 2 colours: 1 bit; 4 and 16: 4 bits with 16 entries; 32 and 256: 8 bits with 256.
  const std::pair<int, int> cases[] = {{1, 1}, {2, 4}, {4, 4}, {5, 8}, {8, 8}};
  for (auto [tableBits, depth] : cases) {
    GifBuilder g;
    g.tableBits = tableBits;
    g.width = 3;
    g.pixels = {0, 1, (1 << tableBits) - 1, 1, 0, 1};
    HDIB dib = Read(g.Bytes());
    ASSERT_TRUE(dib) << tableBits;
    EXPECT_EQ(dib->header().biBitCount, depth);
    EXPECT_EQ(dib->header().biClrUsed, 1u << depth);
    EXPECT_EQ(Indices(*dib), g.pixels);
    if (tableBits == 2) {  // entries past the file's four are black
      for (int i = 4; i < 16; ++i)
        EXPECT_EQ(dib->colours()[i].rgbRed + dib->colours()[i].rgbBlue, 0);
      EXPECT_EQ(dib->colours()[3].rgbRed, 9 * 37 % 256);
    }
  }
}

TEST(GifReaderTest, InterlacedRowsLandInDisplayOrder) {
  for (int height = 1; height <= 17; ++height) {
    GifBuilder g;
    g.tableBits = 5;
    g.width = 1;
    g.height = height;
    g.interlaced = true;
    // Decoded order is the interlace order; each row holds its display row number.
    std::vector<int> displayRows;
    for (int start : {0, 4, 2, 1})
      for (int row = start; row < height; row += (start == 0 || start == 4) ? 8
                                                 : start == 2               ? 4
                                                                            : 2)
        displayRows.push_back(row);
    g.pixels = displayRows;
    HDIB dib = Read(g.Bytes());
    ASSERT_TRUE(dib);
    std::vector<int> expected(height);
    for (int i = 0; i < height; ++i) expected[i] = i;
    EXPECT_EQ(Indices(*dib), expected) << height;
  }
}

TEST(GifReaderTest, GraphicControlAndDescriptorFillTheInfo) {
  GifBuilder g;
  g.tableBits = 3;
  g.colours.assign(24, 0);
  g.colours[15] = 10, g.colours[16] = 20, g.colours[17] = 30;  // entry 5
  g.colours[6] = 1, g.colours[7] = 2, g.colours[8] = 3;        // entry 2, the background
  g.background = 2;
  g.extension = {0x21, 0xF9, 4, (3 << 2) | 1, 0x2C, 0x01, 5, 0};  // disposal 3, 300/100 s
  g.pixels = {5, 1, 5, 1};
  GifImageInfo info;
  HDIB dib = Read(g.Bytes(), &info);
  ASSERT_TRUE(dib);
  EXPECT_EQ(info.disposal, 3u);
  EXPECT_EQ(info.transparent, 1u);
  EXPECT_EQ(info.delay, 300u);
  EXPECT_EQ(info.transparentIndex, 5u);
  EXPECT_EQ(info.left, 3);
  EXPECT_EQ(info.top, 4);
  EXPECT_EQ(info.backgroundRed, 1);
  EXPECT_EQ(info.backgroundBlue, 3);

  TempDir dir;
  testing::WriteBytes(dir.File("t.gif"), g.Bytes());
  CBmp picture;
  ASSERT_TRUE(picture.Load(dir.File("t.gif")));
  EXPECT_EQ(picture.transparent(), 1u);
  EXPECT_EQ(picture.transparentColour(), RGB(10, 20, 30));
}

TEST(GifReaderTest, DataThatBreaksOffBeforeThePictureIsCompleteIsRefused) {
  GifBuilder g;
  g.tableBits = 3;
  g.width = 4;
  // clear, 1, 2, then 15 while the next free code is 11: decoding stops after two of the
  // eight pixels, which would leave the rest black.
  g.data = PackCodes(3, {{8, 4}, {1, 4}, {2, 4}, {15, 4}, {3, 4}, {9, 4}});
  int status = 0;
  EXPECT_FALSE(Read(g.Bytes(), nullptr, &status));
  EXPECT_EQ(status, kGifStatusShortData);
  // The same first codes going on to spell all eight pixels load.
  // (After code 7 the table reaches 16 entries and codes grow to 5 bits.)
  g.data = PackCodes(
      3, {{8, 4}, {1, 4}, {2, 4}, {3, 4}, {4, 4}, {5, 4}, {6, 4}, {7, 4}, {0, 5}, {9, 5}});
  HDIB dib = Read(g.Bytes(), nullptr, &status);
  ASSERT_TRUE(dib);
  EXPECT_EQ(Indices(*dib), (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 0}));
  // The string of a code that is just being defined: clear, 1, 6 (= 1 1), then end after
  // three of the eight pixels.
  g.tableBits = 2;
  g.data = PackCodes(2, {{4, 3}, {1, 3}, {6, 3}, {5, 3}});
  EXPECT_FALSE(Read(g.Bytes(), nullptr, &status));
  EXPECT_EQ(status, kGifStatusShortData);
  // ... and with five more pixels before the end code.
  g.data = PackCodes(2, {{4, 3}, {1, 3}, {6, 3}, {2, 3}, {3, 4}, {0, 4}, {1, 4}, {2, 4}, {5, 4}});
  dib = Read(g.Bytes(), nullptr, &status);
  ASSERT_TRUE(dib);
  EXPECT_EQ(Indices(*dib), (std::vector<int>{1, 1, 1, 2, 3, 0, 1, 2}));
}

TEST(GifReaderTest, SurplusPixelsStayInsideTheWorkBuffer) {
  // A 1 x 1 picture whose data spells thousands of pixels: long strings built up by the
  // table, then repeated.
  GifBuilder g;
  g.tableBits = 8;
  g.width = g.height = 1;
  std::vector<std::pair<int, int>> codes = {{256, 9}, {7, 9}};
  int next = 258, width = 9;
  for (int i = 0; i < 3000; ++i) {
    codes.push_back({next, width});  // always the code being defined: strings grow by one
    if (next < 4095) ++next;
    if (next < 4096 && (next & (next - 1)) == 0 && width < 12) ++width;
  }
  g.data = PackCodes(8, codes);
  HDIB dib = Read(g.Bytes());
  ASSERT_TRUE(dib);
  EXPECT_EQ(Indices(*dib), std::vector<int>{7});
}

TEST(GifReaderTest, PicturesBeyondTheLimitsAreRefused) {
  GifBuilder g;
  g.width = g.height = 65535;
  g.pixels = {0};
  int status = 0;
  EXPECT_FALSE(Read(g.Bytes(), nullptr, &status));
  EXPECT_EQ(status, kGifStatusNoMemory);
  // No image at all: a trailer right after the header.
  std::vector<uint8_t> empty = GifBuilder{}.Bytes();
  empty.resize(13 + 6);
  empty.push_back(0x3B);
  EXPECT_FALSE(Read(empty, nullptr, &status));
  EXPECT_EQ(status, kGifStatusOk);
}

}  // namespace
}  // namespace quendrolix
