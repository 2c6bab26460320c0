#include "platform/gdi/gdi.h"

#include <gtest/gtest.h>

#include <random>

#include "platform/gdi/dib_bitmap.h"

namespace quendrolix {
namespace {

HBITMAP Filled(int w, int h, COLORREF c) {
  HBITMAP b = Bitmap::Create(w, h);
  b->Fill(BgrxFromColour(c));
  return b;
}

TEST(BitBltTest, RasterOperationsCombineSourceAndTarget) {
  const COLORREF src = RGB(0xF0, 0x0F, 0x55), dst = RGB(0x3C, 0xFF, 0x0A);
  struct Case {
    uint32_t rop;
    COLORREF expected;
  } cases[] = {{SRCCOPY, src},
               {SRCAND, RGB(0xF0 & 0x3C, 0x0F & 0xFF, 0x55 & 0x0A)},
               {SRCINVERT, RGB(0xF0 ^ 0x3C, 0x0F ^ 0xFF, 0x55 ^ 0x0A)}};
  for (const Case& c : cases) {
    DeviceContext s(Filled(4, 4, src)), d(Filled(4, 4, dst));
    ASSERT_TRUE(BitBlt(d, 0, 0, 4, 4, s, 0, 0, c.rop));
    EXPECT_EQ(d.GetPixel(2, 3), c.expected) << std::hex << c.rop;
  }
  DeviceContext s(Filled(1, 1, src)), d(Filled(1, 1, dst)), empty;
  EXPECT_FALSE(BitBlt(d, 0, 0, 1, 1, s, 0, 0, 0x00123456));  // not one of ours
  EXPECT_FALSE(BitBlt(d, 0, 0, 1, 1, empty, 0, 0, SRCCOPY));
}

TEST(BitBltTest, ClipsBlocksThatReachOutsideEitherBitmap) {
  DeviceContext src(Bitmap::Create(4, 4));
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) src.SetPixel(x, y, RGB(x * 10, y * 10, 1));
  DeviceContext dst(Filled(6, 6, RGB(9, 9, 9)));
  // Negative target position: only the part from (2, 1) of the source lands, at (0, 0).
  ASSERT_TRUE(BitBlt(dst, -2, -1, 4, 4, src, 0, 0, SRCCOPY));
  EXPECT_EQ(dst.GetPixel(0, 0), RGB(20, 10, 1));
  EXPECT_EQ(dst.GetPixel(1, 2), RGB(30, 30, 1));
  EXPECT_EQ(dst.GetPixel(2, 0), RGB(9, 9, 9));
  EXPECT_EQ(dst.GetPixel(0, 3), RGB(9, 9, 9));

  // Partly past the right and bottom edges, and a source block partly outside its bitmap.
  DeviceContext dst2(Filled(6, 6, RGB(9, 9, 9)));
  ASSERT_TRUE(BitBlt(dst2, 4, 4, 4, 4, src, 2, 2, SRCCOPY));
  EXPECT_EQ(dst2.GetPixel(4, 4), RGB(20, 20, 1));
  EXPECT_EQ(dst2.GetPixel(5, 5), RGB(30, 30, 1));
  DeviceContext dst3(Filled(6, 6, RGB(9, 9, 9)));
  ASSERT_TRUE(BitBlt(dst3, 0, 0, 4, 4, src, -1, 3, SRCCOPY));
  EXPECT_EQ(dst3.GetPixel(0, 0), RGB(9, 9, 9));  // source x -1 does not exist
  EXPECT_EQ(dst3.GetPixel(1, 0), RGB(0, 30, 1));
  EXPECT_EQ(dst3.GetPixel(1, 1), RGB(9, 9, 9));  // source y 4 does not exist
  // Entirely outside: nothing changes, and it is not an error.
  EXPECT_TRUE(BitBlt(dst3, 100, -100, 4, 4, src, 0, 0, SRCCOPY));
}

TEST(BitBltTest, OverlappingBlockOfOneBitmapMovesIntact) {
  DeviceContext dc(Bitmap::Create(5, 1));
  for (int x = 0; x < 5; ++x) dc.SetPixel(x, 0, RGB(x, 0, 0));
  ASSERT_TRUE(BitBlt(dc, 1, 0, 4, 1, dc, 0, 0, SRCCOPY));
  for (int x = 1; x < 5; ++x) EXPECT_EQ(dc.GetPixel(x, 0), RGB(x - 1, 0, 0));
}

TEST(BitBltTest, ColourAndMonochromeFollowBackgroundAndTextColours) {
  DeviceContext colour(Filled(3, 1, RGB(1, 2, 3)));
  colour.SetPixel(1, 0, RGB(200, 100, 50));
  colour.SetBkColor(RGB(200, 100, 50));
  DeviceContext mono(Bitmap::Create(3, 1, true));
  ASSERT_TRUE(BitBlt(mono, 0, 0, 3, 1, colour, 0, 0, SRCCOPY));
  EXPECT_EQ(mono.GetPixel(0, 0), RGB(0, 0, 0));
  EXPECT_EQ(mono.GetPixel(1, 0), RGB(255, 255, 255));  // the source's background colour

  DeviceContext target(Filled(3, 1, RGB(7, 7, 7)));
  target.SetTextColor(RGB(10, 20, 30));
  target.SetBkColor(RGB(40, 50, 60));
  ASSERT_TRUE(BitBlt(target, 0, 0, 3, 1, mono, 0, 0, SRCCOPY));
  EXPECT_EQ(target.GetPixel(0, 0), RGB(10, 20, 30));
  EXPECT_EQ(target.GetPixel(1, 0), RGB(40, 50, 60));
}

TEST(BitBltTest, MaskAndPictureLeaveTheKeyColourTransparent) {
  // The logo stamp: mask with SRCAND, then the logo (black where keyed) with SRCINVERT.
  DeviceContext logo(Filled(2, 1, RGB(0, 0, 0)));
  logo.SetPixel(1, 0, RGB(90, 80, 70));
  DeviceContext mask(Bitmap::Create(2, 1, true));
  mask.SetPixel(0, 0, RGB(255, 255, 255));  // keyed
  DeviceContext frame(Filled(2, 1, RGB(11, 22, 33)));
  ASSERT_TRUE(BitBlt(frame, 0, 0, 2, 1, mask, 0, 0, SRCAND));
  ASSERT_TRUE(BitBlt(frame, 0, 0, 2, 1, logo, 0, 0, SRCINVERT));
  EXPECT_EQ(frame.GetPixel(0, 0), RGB(11, 22, 33));
  EXPECT_EQ(frame.GetPixel(1, 0), RGB(90, 80, 70));
}

TEST(StretchBltTest, ScalesByNearestPixel) {
  DeviceContext src(Bitmap::Create(2, 2));
  src.SetPixel(0, 0, RGB(1, 0, 0));
  src.SetPixel(1, 0, RGB(2, 0, 0));
  src.SetPixel(0, 1, RGB(3, 0, 0));
  src.SetPixel(1, 1, RGB(4, 0, 0));
  DeviceContext dst(Bitmap::Create(4, 4));
  ASSERT_TRUE(StretchBlt(dst, 0, 0, 4, 4, src, 0, 0, 2, 2, SRCCOPY));
  EXPECT_EQ(dst.GetPixel(1, 1), RGB(1, 0, 0));
  EXPECT_EQ(dst.GetPixel(2, 1), RGB(2, 0, 0));
  EXPECT_EQ(dst.GetPixel(3, 3), RGB(4, 0, 0));
  DeviceContext small(Bitmap::Create(1, 1));
  ASSERT_TRUE(StretchBlt(small, 0, 0, 1, 1, dst, 0, 0, 4, 4, SRCCOPY));
  EXPECT_EQ(small.GetPixel(0, 0), RGB(1, 0, 0));
}

TEST(PaletteTest, NearestIndexAgreesWithExhaustiveSearch) {
  std::mt19937 random(7);
  for (size_t size : {2u, 16u, 100u, 256u}) {
    std::vector<PALETTEENTRY> entries(size);
    for (auto& e : entries) e = {uint8_t(random()), uint8_t(random()), uint8_t(random()), 0};
    entries[size - 1] = entries[0];  // a duplicate: the first copy must win
    HPALETTE palette = Palette::Create(entries);
    ASSERT_TRUE(palette);
    for (int i = 0; i < 20000; ++i) {
      uint8_t r = uint8_t(random()), g = uint8_t(random()), b = uint8_t(random());
      int best = 1 << 30;
      size_t bestIndex = 0;
      for (size_t k = 0; k < size; ++k) {
        int dr = entries[k].peRed - r, dg = entries[k].peGreen - g, db = entries[k].peBlue - b;
        int d = dr * dr + dg * dg + db * db;
        if (d < best) best = d, bestIndex = k;
      }
      ASSERT_EQ(palette->NearestIndex(r, g, b), bestIndex)
          << size << " " << int(r) << "," << int(g) << "," << int(b);
    }
    EXPECT_EQ(palette->NearestIndex(entries[0].peRed, entries[0].peGreen, entries[0].peBlue), 0);
  }
  EXPECT_FALSE(Palette::Create({}));
  EXPECT_FALSE(Palette::Create(std::vector<PALETTEENTRY>(257)));
}

TEST(PaletteTest, LimitKeepsToTheFirstEntries) {
  HPALETTE palette = Palette::Create({{0, 0, 0, 0}, {255, 255, 255, 0}, {250, 0, 0, 0}});
  EXPECT_EQ(palette->NearestIndex(255, 0, 0), 2);
  EXPECT_EQ(palette->NearestIndex(255, 0, 0, 2), 0);
}

TEST(BitmapTest, RefusesImpossibleSizes) {
  EXPECT_FALSE(Bitmap::Create(0, 5));
  EXPECT_FALSE(Bitmap::Create(5, -1));
  EXPECT_FALSE(Bitmap::Create(kMaxImageDimension + 1, 1));
  EXPECT_FALSE(Bitmap::Create(30000, 30000));  // beyond the pixel limit
  EXPECT_TRUE(Bitmap::Create(kMaxImageDimension, 1));
}

// DIB rows of every depth become the same screen pixels.
TEST(DibBitmapTest, EveryDepthGivesTheSamePixels) {
  const COLORREF colours[3] = {RGB(255, 0, 0), RGB(0, 255, 0), RGB(0, 0, 255)};
  RGBQUAD table[4] = {{0, 0, 255, 0}, {0, 255, 0, 0}, {255, 0, 0, 0}, {0, 0, 0, 0}};
  BITMAPINFOHEADER h{40, 3, 2, 1, 0, BI_RGB, 0, 0, 0, 0, 0};
  auto check = [&](const HBITMAP& b, const char* what) {
    ASSERT_TRUE(b) << what;
    // Top row: red green blue; bottom row: blue green red.
    for (int x = 0; x < 3; ++x) {
      EXPECT_EQ(ColourFromBgrx(b->Pixel(x, 0)), colours[x]) << what << x;
      EXPECT_EQ(ColourFromBgrx(b->Pixel(x, 1)), colours[2 - x]) << what << x;
    }
  };
  // Rows bottom-up: the bottom row (2, 1, 0) comes first.
  h.biBitCount = 8;
  uint8_t rows8[8] = {2, 1, 0, 0, 0, 1, 2, 0};
  check(BitmapFromDibBits(h, table, 4, nullptr, rows8, sizeof rows8), "8");
  h.biBitCount = 4;
  uint8_t rows4[8] = {0x21, 0x00, 0, 0, 0x01, 0x20, 0, 0};
  check(BitmapFromDibBits(h, table, 4, nullptr, rows4, sizeof rows4), "4");
  h.biBitCount = 24;
  uint8_t rows24[24] = {255, 0, 0,   0, 255, 0, 0,   0, 255, 0, 0, 0,
                        0,   0, 255, 0, 255, 0, 255, 0, 0,   0, 0, 0};
  check(BitmapFromDibBits(h, nullptr, 0, nullptr, rows24, sizeof rows24), "24");
  h.biBitCount = 32;
  uint8_t rows32[24] = {255, 0, 0,   9, 0, 255, 0, 9, 0,   0, 255, 9,
                        0,   0, 255, 9, 0, 255, 0, 9, 255, 0, 0,   9};
  check(BitmapFromDibBits(h, nullptr, 0, nullptr, rows32, sizeof rows32), "32");
  h.biBitCount = 16;  // 5-5-5
  uint8_t rows16[16] = {0x1F, 0, 0xE0, 0x03, 0, 0x7C, 0, 0, 0, 0x7C, 0xE0, 0x03, 0x1F, 0, 0, 0};
  check(BitmapFromDibBits(h, nullptr, 0, nullptr, rows16, sizeof rows16), "16");
  h.biCompression = BI_BITFIELDS;  // 5-6-5
  const uint32_t masks565[3] = {0xF800, 0x07E0, 0x001F};
  uint8_t rows565[16] = {0x1F, 0, 0xE0, 0x07, 0, 0xF8, 0, 0, 0, 0xF8, 0xE0, 0x07, 0x1F, 0, 0, 0};
  check(BitmapFromDibBits(h, nullptr, 0, masks565, rows565, sizeof rows565), "565");
  // Top-down 24-bit: the first row stored is the top one.
  h.biCompression = BI_RGB;
  h.biBitCount = 24;
  h.biHeight = -2;
  uint8_t topDown[24] = {0,   0, 255, 0, 255, 0, 255, 0, 0,   0, 0, 0,
                         255, 0, 0,   0, 255, 0, 0,   0, 255, 0, 0, 0};
  check(BitmapFromDibBits(h, nullptr, 0, nullptr, topDown, sizeof topDown), "top-down");
  // Rows shorter than promised are refused.
  EXPECT_FALSE(BitmapFromDibBits(h, nullptr, 0, nullptr, topDown, sizeof topDown - 1));
}

TEST(DibBitmapTest, FiveBitChannelsWidenByRepeatingBits) {
  BITMAPINFOHEADER h{40, 2, 1, 1, 16, BI_RGB, 0, 0, 0, 0, 0};
  uint8_t row[4] = {0xFF, 0x7F, 0x10, 0x42};  // white; then r = 16, g = 16, b = 16
  HBITMAP b = BitmapFromDibBits(h, nullptr, 0, nullptr, row, sizeof row);
  ASSERT_TRUE(b);
  EXPECT_EQ(ColourFromBgrx(b->Pixel(0, 0)), RGB(255, 255, 255));
  EXPECT_EQ(ColourFromBgrx(b->Pixel(1, 0)), RGB(132, 132, 132));
}

TEST(DibBitmapTest, IndexedRowsRoundTripThroughTheirPalette) {
  std::vector<PALETTEENTRY> entries;
  for (int i = 0; i < 16; ++i)
    entries.push_back({uint8_t(i * 16), uint8_t(255 - i * 16), uint8_t(i * 5), 0});
  HPALETTE palette = Palette::Create(entries);
  for (int bits : {1, 4, 8}) {
    const int w = 13, h = 3;
    const size_t stride = DibRowStride(w, bits);
    std::vector<uint8_t> rows(stride * h, 0);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        int v = (x + y) % (bits == 1 ? 2 : 16);
        uint8_t* row = rows.data() + y * stride;
        if (bits == 8) row[x] = uint8_t(v);
        if (bits == 4) row[x / 2] |= uint8_t(v << (x % 2 ? 0 : 4));
        if (bits == 1) row[x / 8] |= uint8_t(v << (7 - x % 8));
      }
    std::vector<RGBQUAD> table(size_t{1} << bits);
    for (size_t i = 0; i < table.size() && i < 16; ++i)
      table[i] = {entries[i].peBlue, entries[i].peGreen, entries[i].peRed, 0};
    BITMAPINFOHEADER header{40, w, h, 1, uint16_t(bits), BI_RGB, 0, 0, 0, 0, 0};
    HBITMAP bitmap =
        BitmapFromDibBits(header, table.data(), table.size(), nullptr, rows.data(), rows.size());
    ASSERT_TRUE(bitmap);
    std::vector<uint8_t> back(rows.size(), 0xAA);
    std::vector<RGBQUAD> backTable(table.size());
    ASSERT_TRUE(DibBitsFromBitmap(*bitmap, bits, palette.get(), backTable.data(), backTable.size(),
                                  back.data(), back.size()));
    EXPECT_EQ(back, rows) << bits;
    EXPECT_EQ(backTable[1].rgbRed, entries[1].peRed);
  }
}

TEST(DibBitmapTest, TrueColourReadOutAtEveryDepth) {
  HBITMAP b = Bitmap::Create(2, 1);
  b->SetPixel(0, 0, BgrxFromColour(RGB(255, 128, 8)));
  b->SetPixel(1, 0, BgrxFromColour(RGB(250, 250, 250)));
  uint8_t rows[8];
  ASSERT_TRUE(DibBitsFromBitmap(*b, 16, nullptr, nullptr, 0, rows, 4));
  EXPECT_EQ(rows[0] | rows[1] << 8, (31 << 10) | (16 << 5) | 1);
  ASSERT_TRUE(DibBitsFromBitmap(*b, 24, nullptr, nullptr, 0, rows, 8));
  EXPECT_EQ(rows[0], 8);
  EXPECT_EQ(rows[2], 255);
  RGBQUAD table[2];
  ASSERT_TRUE(DibBitsFromBitmap(*b, 1, nullptr, table, 2, rows, 4));  // default black and white
  EXPECT_EQ(rows[0], 0xC0);  // both nearer white than black
  EXPECT_EQ(table[1].rgbGreen, 255);
  EXPECT_FALSE(DibBitsFromBitmap(*b, 24, nullptr, nullptr, 0, rows, 7));
  EXPECT_FALSE(DibBitsFromBitmap(*b, 2, nullptr, nullptr, 0, rows, 8));
}

}  // namespace
}  // namespace quendrolix
