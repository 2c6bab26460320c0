#include <gtest/gtest.h>

#include <cstring>

#include "image/cbmp.h"
#include "image/dib_functions.h"
#include "image/image_io.h"
#include "support/image_fixtures.h"
#include "support/test_support.h"

namespace quendrolix {
namespace {
using testing::TempDir;

// A BMP file made field by field, for headers no writer of ours makes.
struct BmpBuilder {
  uint32_t headerSize = 40;
  int32_t width = 2, height = 2;
  uint16_t bitCount = 24;
  uint32_t compression = BI_RGB, coloursUsed = 0;
  std::vector<uint32_t> masks;  // after a 40-byte header, or inside a longer one
  std::vector<uint8_t> table, pixels;
  uint32_t gap = 0;  // bytes between the table and the pixels
  bool honestOffset = true;

  std::vector<uint8_t> Bytes() const {
    std::vector<uint8_t> info(headerSize, 0);
    PutLe32(info.data(), headerSize);
    PutLe32(info.data() + 4, uint32_t(width));
    PutLe32(info.data() + 8, uint32_t(height));
    PutLe16(info.data() + 12, 1);
    PutLe16(info.data() + 14, bitCount);
    PutLe32(info.data() + 16, compression);
    PutLe32(info.data() + 32, coloursUsed);
    std::vector<uint8_t> maskBytes;
    for (size_t i = 0; i < masks.size(); ++i) {
      if (headerSize > 40) {
        PutLe32(info.data() + 40 + 4 * i, masks[i]);
      } else {
        maskBytes.resize(maskBytes.size() + 4);
        PutLe32(maskBytes.data() + 4 * i, masks[i]);
      }
    }
    uint32_t offset = 14 + headerSize + uint32_t(maskBytes.size() + table.size()) + gap;
    std::vector<uint8_t> out(14, 0);
    out[0] = 'B';
    out[1] = 'M';
    PutLe32(out.data() + 2, uint32_t(offset + pixels.size()));
    PutLe32(out.data() + 10, honestOffset ? offset : 0);
    out.insert(out.end(), info.begin(), info.end());
    out.insert(out.end(), maskBytes.begin(), maskBytes.end());
    out.insert(out.end(), table.begin(), table.end());
    out.insert(out.end(), gap, 0xEE);
    out.insert(out.end(), pixels.begin(), pixels.end());
    return out;
  }
};

std::vector<uint8_t> Load(const std::vector<uint8_t>& bytes, int* error = nullptr) {
  TempDir dir;
  testing::WriteBytes(dir.File("t.bmp"), bytes);
  SetDibLastError(0);
  HDIB dib = LoadDibFile(dir.File("t.bmp"));
  if (error) *error = DibLastError();
  return dib ? testing::RgbOfDib(*dib) : std::vector<uint8_t>{};
}

TEST(BmpFileTest, TwentyFourBitPictureRoundTripsThroughSaveAndLoad) {
  TempDir dir;
  CBmp picture;
  picture.Attach(testing::PatternBitmap(37, 11, 3));  // 37 * 3 is no multiple of 4
  ASSERT_TRUE(picture.Save(dir.File("a.bmp")));
  std::vector<uint8_t> file = testing::ReadBytes(dir.File("a.bmp"));
  ASSERT_GE(file.size(), 54u);
  EXPECT_EQ(Le16(file.data() + 28), 24);  // a 32-bit screen bitmap is written at 24 bits
  EXPECT_EQ(Le32(file.data() + 10), 54u);
  EXPECT_EQ(Le32(file.data() + 2), file.size());
  CBmp back;
  ASSERT_TRUE(back.Load(dir.File("a.bmp")));
  EXPECT_EQ(testing::RgbOf(back), testing::RgbOf(picture));
  EXPECT_FALSE(back.palette());
}

TEST(BmpFileTest, RefusesWhatIsNotABitmap) {
  TempDir dir;
  testing::WriteBytes(dir.File(".bmp"), {'M', 'B', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 40, 0});
  CBmp picture;
  EXPECT_FALSE(picture.Load(dir.File(".bmp")));
  EXPECT_EQ(DibLastError(), kDibErrorNotBitmap);
  EXPECT_FALSE(LoadDibFile(dir.File("missing.bmp")));
  EXPECT_EQ(DibLastError(), kDibErrorRead);
}

TEST(BmpFileTest, ChecksEverySizeAgainstTheFile) {
  BmpBuilder b;
  b.pixels.assign(16, 7);  // two 24-bit rows of 2 pixels: 8 bytes each
  int error = 0;
  EXPECT_FALSE(Load(b.Bytes()).empty());
  b.pixels.resize(15);  // one byte short
  EXPECT_TRUE(Load(b.Bytes(), &error).empty());
  EXPECT_EQ(error, kDibErrorRead);
  b.pixels.resize(16);
  b.height = 1 << 30;  // refused before anything is allocated
  EXPECT_TRUE(Load(b.Bytes(), &error).empty());
  EXPECT_EQ(error, kDibErrorMemory);
  b.height = 2;
  b.bitCount = 7;
  EXPECT_TRUE(Load(b.Bytes(), &error).empty());
  EXPECT_EQ(error, kDibErrorNotBitmap);
  b.bitCount = 24;
  b.headerSize = 64;  // not a header size we know
  EXPECT_TRUE(Load(b.Bytes(), &error).empty());
  // A header that claims more than the file holds.
  std::vector<uint8_t> cut = BmpBuilder{}.Bytes();
  cut.resize(30);
  EXPECT_TRUE(Load(cut, &error).empty());
  EXPECT_EQ(error, kDibErrorNotBitmap);
}

TEST(BmpFileTest, TakesPixelsFromTheOffsetTheFileGives) {
  BmpBuilder b;
  b.bitCount = 8;
  b.width = 1;
  b.height = 1;
  b.coloursUsed = 2;
  b.table = {0, 0, 255, 0, 255, 0, 0, 0};  // red, blue
  b.pixels = {1, 0, 0, 0};
  b.gap = 6;  // an application's own bytes before the pixels
  EXPECT_EQ(Load(b.Bytes()), (std::vector<uint8_t>{0, 0, 255}));
  // Without an offset the pixels follow the table.
  b.gap = 0;
  b.honestOffset = false;
  EXPECT_EQ(Load(b.Bytes()), (std::vector<uint8_t>{0, 0, 255}));
}

TEST(BmpFileTest, ReadsLongerHeadersBitFieldsAndTopDownRows) {
  // 2 x 2 pixels: top red, green; bottom blue, white.
  const std::vector<uint8_t> expected = {255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255};
  for (uint32_t headerSize : {40u, 108u, 124u}) {
    BmpBuilder b565;
    b565.headerSize = headerSize;
    b565.bitCount = 16;
    b565.compression = BI_BITFIELDS;
    b565.masks = {0xF800, 0x07E0, 0x001F};
    b565.pixels = {0x1F, 0x00, 0xFF, 0xFF, 0x00, 0xF8, 0xE0, 0x07};  // bottom row first
    EXPECT_EQ(Load(b565.Bytes()), expected) << headerSize;

    BmpBuilder b32;
    b32.headerSize = headerSize;
    b32.bitCount = 32;
    b32.compression = BI_BITFIELDS;
    b32.masks = {0x0000FF00, 0x00FF0000, 0xFF000000};  // an unusual order
    b32.pixels = {0, 0, 0, 255, 0, 255, 255, 255, 0, 0, 0, 255, 0, 0, 255, 0};
    b32.pixels = {0, 0, 0, 255, 0, 255, 255, 255, 0, 255, 0, 0, 0, 0, 255, 0};
    EXPECT_EQ(Load(b32.Bytes()), expected) << headerSize;
  }
  BmpBuilder top;
  top.height = -2;
  top.pixels = {0, 0, 255, 0, 255, 0, 0, 0, 255, 0, 0, 255, 255, 255, 0, 0};
  EXPECT_EQ(Load(top.Bytes()), expected);
}

TEST(BmpFileTest, ExpandsRunLengthRowsWithinThePicture) {
  BmpBuilder b;
  b.bitCount = 8;
  b.compression = BI_RLE8;
  b.width = 4;
  b.height = 2;
  b.coloursUsed = 3;
  b.table = {0, 0, 0, 0, 0, 0, 255, 0, 255, 0, 0, 0};
  // Bottom row: a run of 9 (cut at 4); next row: absolute 1 2 2; then a delta far outside.
  b.pixels = {9, 1, 0, 0, 0, 3, 1, 2, 2, 0, 0, 2, 200, 200, 0, 1};
  std::vector<uint8_t> rgb = Load(b.Bytes());
  ASSERT_EQ(rgb.size(), 24u);
  EXPECT_EQ(std::vector<uint8_t>(rgb.begin(), rgb.begin() + 9),
            (std::vector<uint8_t>{255, 0, 0, 0, 0, 255, 0, 0, 255}));
  EXPECT_EQ(std::vector<uint8_t>(rgb.begin() + 12, rgb.begin() + 15),
            (std::vector<uint8_t>{255, 0, 0}));
}

TEST(DibFunctionsTest, PaletteAndBitCountMapping) {
  HDIB dib = NewDib(3, 1, 4, 3);
  dib->colours()[2] = {30, 20, 10, 0};
  HPALETTE palette = PaletteFromDib(*dib);
  ASSERT_TRUE(palette);
  EXPECT_EQ(palette->size(), 3u);
  EXPECT_EQ(palette->Colour(2), RGB(10, 20, 30));
  EXPECT_FALSE(PaletteFromDib(*NewDib(3, 1, 24, 0)));

  HBITMAP mono = Bitmap::Create(9, 2, true);
  HDIB monoDib = DibFromBitmap(*mono, nullptr);
  ASSERT_TRUE(monoDib);
  EXPECT_EQ(monoDib->header().biBitCount, 1);
  HDIB screen = DibFromBitmap(*testing::PatternBitmap(3, 2), nullptr);
  ASSERT_TRUE(screen);
  EXPECT_EQ(screen->header().biBitCount, 24);
  EXPECT_EQ(screen->header().biSizeImage, 24u);
  EXPECT_EQ(screen->header().biClrUsed, 0u);

  // A block whose rows are missing makes no bitmap, and says so.
  HDIB shortBlock = DibBlock::Allocate(40);
  shortBlock->header() = dib->header();
  SetDibLastError(0);
  EXPECT_FALSE(BitmapFromDib(*shortBlock, nullptr));
  EXPECT_EQ(DibLastError(), kDibErrorBitmap);
}

TEST(DibFunctionsTest, SaveLeavesNoFileWhenTheFolderIsMissing) {
  TempDir dir;
  HDIB dib = NewDib(2, 2, 24, 0);
  EXPECT_FALSE(SaveDibFile(dir.File("no/such/folder/a.bmp"), *dib));
  // An existing file is replaced as a whole.
  testing::WriteBytes(dir.File("a.bmp"), {1, 2, 3});
  ASSERT_TRUE(SaveDibFile(dir.File("a.bmp"), *dib));
  EXPECT_EQ(testing::ReadBytes(dir.File("a.bmp")).size(), 14 + dib->size());
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

}  // namespace
}  // namespace quendrolix
