#include <gtest/gtest.h>

#include <cstring>

#include "image/cbmp.h"
#include "image/image_io.h"
#include "image/pcx_format.h"
#include "image/tga_reader.h"
#include "support/image_fixtures.h"
#include "support/test_support.h"

namespace quendrolix {
namespace {
using testing::TempDir;

std::vector<uint8_t> Encode(std::vector<uint8_t> line) {
  std::vector<uint8_t> out;
  EncodePcxLine(line.data(), line.size(), out);
  return out;
}

TEST(PcxTest, RunLengthCodeOfALine) {
  EXPECT_EQ(Encode({0xC0}), (std::vector<uint8_t>{0xC1, 0xC0}));
  EXPECT_EQ(Encode(std::vector<uint8_t>(64, 7)), (std::vector<uint8_t>{0xFF, 7, 0xC1, 7}));
  EXPECT_EQ(Encode({1, 2, 2, 0x3F}), (std::vector<uint8_t>{1, 0xC2, 2, 0x3F}));
  EXPECT_EQ(Encode(std::vector<uint8_t>(63, 0xFF)), (std::vector<uint8_t>{0xFF, 0xFF}));
}

// A block of the depth with every index or colour used, and a table of its own.
HDIB Sample(int bitCount, int width, int height) {
  uint32_t colours = bitCount <= 8 ? 1u << bitCount : 0;
  HDIB dib = NewDib(width, height, bitCount, colours);
  for (uint32_t i = 0; i < colours; ++i)
    dib->colours()[i] = {uint8_t(i * 3 + 1), uint8_t(255 - i), uint8_t(i * 7), 0};
  const size_t stride = DibRowStride(width, bitCount);
  for (int y = 0; y < height; ++y) {
    uint8_t* row = DibPixels(*dib) + y * stride;
    for (int x = 0; x < width; ++x) {
      int v = x * 5 + y * 3;
      if (bitCount == 1) row[x / 8] |= uint8_t((v & 1) << (7 - x % 8));
      if (bitCount == 4) row[x / 2] |= uint8_t((v & 15) << (x % 2 ? 0 : 4));
      if (bitCount == 8) row[x] = uint8_t(v);
      if (bitCount == 24) {
        row[3 * x] = uint8_t(v);
        row[3 * x + 1] = uint8_t(v * 3);
        row[3 * x + 2] = uint8_t(0xC0 + x % 64);  // plenty of bytes that need a count
      }
    }
  }
  return dib;
}

TEST(PcxTest, EveryDepthRoundTripsWithItsColours) {
  TempDir dir;
  for (int bitCount : {1, 4, 8, 24}) {
    HDIB dib = Sample(bitCount, 21, 5);
    std::string path = dir.File("p" + std::to_string(bitCount) + ".pcx");
    ASSERT_TRUE(WritePcx(path, *dib)) << bitCount;
    std::vector<uint8_t> file = testing::ReadBytes(path);
    EXPECT_EQ(file[1], 5);
    EXPECT_EQ(std::memcmp(file.data() + 118, "VAVI 2.01 ", 10), 0);
    EXPECT_EQ(Le16(file.data() + 66),
              ((bitCount == 24 || bitCount == 8 ? 8 : 1) * 21 + 15) / 16 * 2);
    if (bitCount == 8) {
      ASSERT_GT(file.size(), 769u);
      EXPECT_EQ(file[file.size() - 769], 0x0C);
      EXPECT_EQ(file[file.size() - 3], dib->colours()[255].rgbRed);
    }
    HDIB back;
    HPALETTE palette;
    ASSERT_TRUE(ReadPcxFile(path, back, palette)) << bitCount;
    EXPECT_EQ(back->header().biBitCount, bitCount);
    EXPECT_EQ(std::memcmp(DibPixels(*back), DibPixels(*dib), dib->header().biSizeImage), 0)
        << bitCount;
    if (bitCount <= 8) {
      ASSERT_TRUE(palette);
      EXPECT_EQ(palette->size(), 1u << bitCount);
      EXPECT_EQ(std::memcmp(back->colours(), dib->colours(), 4u << bitCount), 0) << bitCount;
    } else {
      EXPECT_FALSE(palette);
    }
  }
}

TEST(PcxTest, SavedPictureLoadsWithTheSamePixels) {
  TempDir dir;
  CBmp picture;
  picture.Attach(testing::PatternBitmap(19, 7));
  ASSERT_TRUE(picture.Save(dir.File("a.PCX")));
  CBmp back;
  ASSERT_TRUE(back.Load(dir.File("a.PCX")));
  EXPECT_EQ(testing::RgbOf(back), testing::RgbOf(picture));
}

std::vector<uint8_t> PcxHeader(int bits, int planes, int width, int height, int bytesPerLine) {
  std::vector<uint8_t> h(128, 0);
  h[0] = 10, h[1] = 5, h[2] = 1, h[3] = uint8_t(bits), h[65] = uint8_t(planes);
  PutLe16(h.data() + 8, width - 1);
  PutLe16(h.data() + 10, height - 1);
  PutLe16(h.data() + 66, bytesPerLine);
  return h;
}

bool Read(const std::vector<uint8_t>& bytes, HDIB& dib, HPALETTE& palette) {
  FileHandle f = OpenMemory(bytes.data(), bytes.size());
  return ReadPcx(f.get(), dib, palette);
}

TEST(PcxTest, ReaderKeepsRunsAndLinesInsideThePicture) {
  HDIB dib;
  HPALETTE palette;
  // A run of 63 in a 2-byte line goes on into the next lines and no further.
  std::vector<uint8_t> file = PcxHeader(8, 1, 2, 2, 2);
  file.insert(file.end(), {0xFF, 9});
  ASSERT_TRUE(Read(file, dib, palette));
  EXPECT_EQ(DibPixels(*dib)[0], 9);
  EXPECT_EQ(DibPixels(*dib)[5], 9);
  // Lines too short for the width, unknown depths and short headers are refused.
  EXPECT_FALSE(Read(PcxHeader(8, 1, 5, 1, 4), dib, palette));
  EXPECT_FALSE(Read(PcxHeader(2, 2, 4, 1, 2), dib, palette));
  EXPECT_FALSE(Read(std::vector<uint8_t>(100, 10), dib, palette));
  std::vector<uint8_t> notRle = PcxHeader(8, 1, 2, 2, 2);
  notRle[2] = 0;
  EXPECT_FALSE(Read(notRle, dib, palette));
  // Data that ends early would leave the rest black: the picture is refused.
  std::vector<uint8_t> cut = PcxHeader(8, 3, 2, 2, 2);
  cut.insert(cut.end(), {0xC6, 200});
  EXPECT_FALSE(Read(cut, dib, palette));
  cut.insert(cut.end(), {0xC6, 100});
  ASSERT_TRUE(Read(cut, dib, palette));
  EXPECT_EQ(DibPixels(*dib)[8], 200);  // the top row, in the bottom-up block
  EXPECT_EQ(DibPixels(*dib)[0], 100);
}

TEST(PcxTest, ColourTablesByVersionAndHeader) {
  HDIB dib;
  HPALETTE palette;
  std::vector<uint8_t> two = PcxHeader(1, 1, 8, 1, 2);
  two.insert(two.end(), {0x55, 0});
  two[16] = two[17] = two[18] = 4;  // two equal entries: black and white instead
  two[19] = two[20] = two[21] = 4;
  ASSERT_TRUE(Read(two, dib, palette));
  EXPECT_EQ(palette->Colour(1), RGB(255, 255, 255));
  two[19] = 200;
  ASSERT_TRUE(Read(two, dib, palette));
  EXPECT_EQ(palette->Colour(1), RGB(200, 4, 4));
  std::vector<uint8_t> old16 = PcxHeader(1, 4, 8, 1, 2);
  old16[1] = 3;
  old16.insert(old16.end(), 8, 0);
  ASSERT_TRUE(Read(old16, dib, palette));
  EXPECT_EQ(palette->Colour(1), RGB(0, 0, 128));
  EXPECT_EQ(palette->Colour(8), RGB(192, 192, 192));
  // 256 colours without a marker: a grey ramp.
  std::vector<uint8_t> noMarker = PcxHeader(8, 1, 2, 1, 2);
  noMarker.insert(noMarker.end(), {1, 2});
  ASSERT_TRUE(Read(noMarker, dib, palette));
  EXPECT_EQ(palette->Colour(77), RGB(77, 77, 77));
}

TEST(PcxTest, PaletteIsStoredInAnExistingFile) {
  TempDir dir;
  HDIB dib = Sample(8, 4, 2);
  ASSERT_TRUE(WritePcx(dir.File("a.pcx"), *dib));
  const size_t size = testing::ReadBytes(dir.File("a.pcx")).size();
  std::vector<RGBQUAD> table(256, RGBQUAD{1, 2, 3, 0});
  ASSERT_TRUE(WritePcxPalette(dir.File("a.pcx"), table.data(), 256));
  std::vector<uint8_t> file = testing::ReadBytes(dir.File("a.pcx"));
  EXPECT_EQ(file.size(), size);  // the old table is overwritten, not appended to
  EXPECT_EQ(file[size - 3], 3);
  EXPECT_EQ(file[size - 1], 1);
  EXPECT_FALSE(WritePcxPalette(dir.File("missing.pcx"), table.data(), 256));
  EXPECT_FALSE(WritePcxPalette(dir.File("a.pcx"), table.data(), 5));
}

// A TGA made field by field.
std::vector<uint8_t> Tga(int type, int depth, int width, int height, int descriptor,
                         const std::vector<uint8_t>& body, int mapLength = 0, int mapBits = 0,
                         const std::vector<uint8_t>& map = {}) {
  std::vector<uint8_t> h(18, 0);
  h[0] = 1;  // an identification byte to skip
  h[1] = mapLength ? 1 : 0;
  h[2] = uint8_t(type);
  PutLe16(h.data() + 5, mapLength);
  h[7] = uint8_t(mapBits);
  PutLe16(h.data() + 12, width);
  PutLe16(h.data() + 14, height);
  h[16] = uint8_t(depth);
  h[17] = uint8_t(descriptor);
  h.push_back(0xAB);
  h.insert(h.end(), map.begin(), map.end());
  h.insert(h.end(), body.begin(), body.end());
  return h;
}

HDIB ReadTgaBytes(const std::vector<uint8_t>& bytes, int* status) {
  FileHandle f = OpenMemory(bytes.data(), bytes.size());
  return ReadTgaStream(f.get(), status);
}

TEST(TgaTest, RunLengthThirtyTwoBitTopLeftComesOutTheRightWayUp) {
  // 2 x 2: top row red (a run of 2), bottom row green, blue (literals).
  std::vector<uint8_t> body = {0x81, 0, 0, 255, 77, 1, 0, 255, 0, 77, 255, 0, 0, 77};
  int status = 0;
  HDIB dib = ReadTgaBytes(Tga(10, 32, 2, 2, 0x28, body), &status);
  ASSERT_TRUE(dib);
  EXPECT_EQ(dib->header().biBitCount, 24);
  EXPECT_EQ(testing::RgbOfDib(*dib),
            (std::vector<uint8_t>{255, 0, 0, 255, 0, 0, 0, 255, 0, 0, 0, 255}));
  // Bottom-left origin: the first row read is the bottom one.
  dib = ReadTgaBytes(Tga(2, 24, 1, 2, 0, {0, 0, 255, 255, 0, 0}), &status);
  ASSERT_TRUE(dib);
  EXPECT_EQ(testing::RgbOfDib(*dib), (std::vector<uint8_t>{0, 0, 255, 255, 0, 0}));
}

TEST(TgaTest, MappedGreyAndSixteenBitPictures) {
  int status = 0;
  // Type 1 with 16-bit map entries: 5 bits each, shifted left by 3.
  std::vector<uint8_t> map = {0x1F, 0x00, 0x00, 0x7C};  // blue 31, red 31
  HDIB dib = ReadTgaBytes(Tga(1, 8, 2, 1, 0, {1, 0}, 2, 16, map), &status);
  ASSERT_TRUE(dib);
  EXPECT_EQ(testing::RgbOfDib(*dib), (std::vector<uint8_t>{248, 0, 0, 0, 0, 248}));
  // Type 11: run-length grey through the ramp.
  dib = ReadTgaBytes(Tga(11, 8, 3, 1, 0, {0x82, 90}), &status);
  ASSERT_TRUE(dib);
  EXPECT_EQ(testing::RgbOfDib(*dib), std::vector<uint8_t>(9, 90));
  // Type 2 at 16 bits: widened by 8 (0x7FFF gives 248).
  dib = ReadTgaBytes(Tga(2, 16, 1, 1, 0, {0xFF, 0x7F}), &status);
  ASSERT_TRUE(dib);
  EXPECT_EQ(testing::RgbOfDib(*dib), std::vector<uint8_t>(3, 248));
}

TEST(TgaTest, RefusalsCarryTheirStatus) {
  int status = 0;
  EXPECT_FALSE(ReadTgaBytes(Tga(1, 16, 1, 1, 0, {0, 0}, 1, 24, {1, 2, 3}), &status));
  EXPECT_EQ(status, kTgaStatusNotAccepted);
  EXPECT_FALSE(ReadTgaBytes(Tga(2, 8, 1, 1, 0, {0}), &status));
  EXPECT_EQ(status, kTgaStatusNotAccepted);
  EXPECT_FALSE(ReadTgaBytes(Tga(2, 24, 0, 1, 0, {}), &status));
  EXPECT_EQ(status, kTgaStatusNotAccepted);
  EXPECT_FALSE(ReadTgaBytes({0, 0, 2}, &status));
  EXPECT_EQ(status, kTgaStatusNotAccepted);
  EXPECT_FALSE(ReadTga("/no/such/file.tga", &status));
  EXPECT_EQ(status, kTgaStatusCannotOpen);
  EXPECT_FALSE(ReadTgaBytes(Tga(2, 24, 2, 2, 0, {1, 2, 3, 4, 5, 6, 7}), &status));
  EXPECT_EQ(status, kTgaStatusReadFailed);
  EXPECT_FALSE(ReadTgaBytes(Tga(10, 24, 2, 2, 0, {0x81, 1, 2, 3}), &status));  // packets end early
  EXPECT_EQ(status, kTgaStatusReadFailed);
  EXPECT_FALSE(ReadTgaBytes(Tga(2, 24, 65535, 65535, 0, {}), &status));
  EXPECT_EQ(status, kTgaStatusNoMemory);
  // A run past the last pixel stops at the picture's end.
  HDIB dib = ReadTgaBytes(Tga(10, 24, 2, 1, 0, {0xFF, 1, 2, 3}), &status);
  ASSERT_TRUE(dib);
  EXPECT_EQ(testing::RgbOfDib(*dib), (std::vector<uint8_t>{3, 2, 1, 3, 2, 1}));
}

}  // namespace
}  // namespace quendrolix
