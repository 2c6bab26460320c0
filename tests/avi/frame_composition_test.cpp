#include <gtest/gtest.h>

#include <cstring>

#include "avi/company_logo_dialog.h"
#include "avi/frame_composition.h"
#include "tools/create_mpg.h"
#include "image/cbmp.h"
#include "platform/host/user_prompts.h"
#include "support/avi_fixtures.h"
#include "support/image_fixtures.h"
#include "support/test_support.h"

namespace quendrolix {
namespace {

using testing::PatternBitmap;
using testing::TempDir;

// A 100 x 100 picture and a 32 x 32 logo with a key-coloured border around a pattern.
struct LogoCase {
  TempDir dir;
  HBITMAP logoPixels = Bitmap::Create(32, 32);
  std::string logoPath;
  LogoSettings settings;
  LogoPictures pictures;

  static constexpr COLORREF kKey = RGB(10, 200, 30);

  LogoCase() {
    HBITMAP pattern = PatternBitmap(32, 32, 7);
    for (int y = 0; y < 32; ++y)
      for (int x = 0; x < 32; ++x) {
        bool border = x < 4 || y < 4 || x >= 28 || y >= 28;
        logoPixels->SetPixel(x, y, border ? BgrxFromColour(kKey) : pattern->Pixel(x, y));
      }
    logoPath = testing::WriteBmp(dir.File("logo.bmp"), logoPixels);
    settings.sLogoFile = logoPath;
  }
  HBITMAP Stamped(int x, int y) {
    settings.nXPos = static_cast<int16_t>(x);
    settings.nYPos = static_cast<int16_t>(y);
    PrepareLogo(settings, pictures);
    HBITMAP picture = PatternBitmap(100, 100, 1);
    StampLogo(settings, pictures, *picture);
    return picture;
  }
};

TEST(StampLogoTest, OpaqueLogoCoversItsRectangleAndIsClipped) {
  LogoCase c;
  HBITMAP original = PatternBitmap(100, 100, 1);
  HBITMAP picture = c.Stamped(10, 20);
  for (int y = 0; y < 100; ++y)
    for (int x = 0; x < 100; ++x) {
      bool inside = x >= 10 && x <= 41 && y >= 20 && y <= 51;
      Bgrx want = inside ? c.logoPixels->Pixel(x - 10, y - 20) : original->Pixel(x, y);
      ASSERT_EQ(picture->Pixel(x, y) & 0xFFFFFF, want & 0xFFFFFF) << x << "," << y;
    }

  // At (90, 90) only the logo's top-left 10 x 10 shows; at (-20, -25) its bottom-right part.
  picture = c.Stamped(90, 90);
  EXPECT_EQ(picture->Pixel(99, 99) & 0xFFFFFF, c.logoPixels->Pixel(9, 9) & 0xFFFFFF);
  EXPECT_EQ(picture->Pixel(89, 95), original->Pixel(89, 95));
  picture = c.Stamped(-20, -25);
  EXPECT_EQ(picture->Pixel(0, 0) & 0xFFFFFF, c.logoPixels->Pixel(20, 25) & 0xFFFFFF);
  EXPECT_EQ(picture->Pixel(11, 6) & 0xFFFFFF, c.logoPixels->Pixel(31, 31) & 0xFFFFFF);
  EXPECT_EQ(picture->Pixel(12, 6), original->Pixel(12, 6));
  EXPECT_EQ(picture->Pixel(11, 7), original->Pixel(11, 7));
}

TEST(StampLogoTest, TransparentLogoKeepsTheFrameWhereTheKeyColourIs) {
  for (bool fromLogo : {true, false}) {
    SCOPED_TRACE(fromLogo ? "key from pixel (0, 0)" : "key from crTrans");
    LogoCase c;
    c.settings.bUseTransparent = 1;
    c.settings.bColorFromLogo = fromLogo ? 1 : 0;
    c.settings.crTrans = fromLogo ? RGB(1, 2, 3) : LogoCase::kKey;
    HBITMAP original = PatternBitmap(100, 100, 1);
    HBITMAP picture = c.Stamped(30, 40);
    ASSERT_TRUE(c.pictures.transparentLogo.IsValid());
    for (int y = 0; y < 32; ++y)
      for (int x = 0; x < 32; ++x) {
        Bgrx logo = c.logoPixels->Pixel(x, y) & 0xFFFFFF;
        Bgrx want = logo == BgrxFromColour(LogoCase::kKey) ? original->Pixel(30 + x, 40 + y) : logo;
        ASSERT_EQ(picture->Pixel(30 + x, 40 + y) & 0xFFFFFF, want & 0xFFFFFF) << x << "," << y;
      }
    // Stamping again changes nothing.
    HBITMAP twice = picture->Copy();
    StampLogo(c.settings, c.pictures, *twice);
    for (int y = 0; y < 100; ++y)
      for (int x = 0; x < 100; ++x) ASSERT_EQ(twice->Pixel(x, y), picture->Pixel(x, y));
  }
}

TEST(StampLogoTest, NothingIsDrawnWithoutALogo) {
  LogoCase c;
  HBITMAP original = PatternBitmap(100, 100, 1);
  auto unchanged = [&](const HBITMAP& picture) {
    for (int y = 0; y < 100; ++y)
      for (int x = 0; x < 100; ++x)
        if (picture->Pixel(x, y) != original->Pixel(x, y)) return false;
    return true;
  };
  // Switched off.
  c.settings.bUseLogo = 0;
  EXPECT_TRUE(unchanged(c.Stamped(0, 0)));
  // A fresh installation names the built-in placeholder, which loads nothing.
  LogoCase fresh;
  fresh.settings = LogoSettings{};
  EXPECT_TRUE(unchanged(fresh.Stamped(0, 0)));
  EXPECT_FALSE(fresh.pictures.logoBitmap.IsValid());
  // A transparent logo whose file is gone: prepared as nothing, silently.
  LogoCase missing;
  missing.settings.bUseTransparent = 1;
  missing.Stamped(0, 0);
  missing.settings.sLogoFile = missing.dir.File("gone.bmp");
  EXPECT_TRUE(unchanged(missing.Stamped(0, 0)));
  EXPECT_FALSE(missing.pictures.transparentLogo.IsValid());
}

TEST(MakeFrameDibTest, StridesTablesAndDepths) {
  HBITMAP picture = Bitmap::Create(3, 2);
  picture->SetPixel(0, 0, BgrxFromColour(RGB(255, 0, 0)));
  picture->SetPixel(1, 0, BgrxFromColour(RGB(0x87, 0x45, 0x0F)));
  picture->SetPixel(2, 1, BgrxFromColour(RGB(255, 255, 255)));

  HDIB d8 = MakeFrameDib(*picture, 8);
  ASSERT_TRUE(d8);
  EXPECT_EQ(d8->header().biBitCount, 8);
  EXPECT_EQ(d8->header().biClrUsed, 256u);
  EXPECT_EQ(d8->header().biSizeImage, 8u);  // stride 4 bytes, 2 rows
  EXPECT_EQ(d8->size(), 40u + 1024u + 8u);
  // Bottom-up: the top row comes second. Pure red and white are entries of the table.
  const uint8_t* rows = DibPixels(*d8);
  const RGBQUAD red = d8->colours()[rows[4]];
  EXPECT_EQ(red.rgbRed, 255);
  EXPECT_EQ(red.rgbGreen, 0);
  EXPECT_EQ(red.rgbBlue, 0);
  const RGBQUAD white = d8->colours()[rows[2]];
  EXPECT_EQ(white.rgbRed + white.rgbGreen + white.rgbBlue, 3 * 255);

  // Every 8-bit frame carries the same table, whatever its pixels.
  HDIB other = MakeFrameDib(*PatternBitmap(5, 5, 3), 8);
  ASSERT_TRUE(other);
  EXPECT_EQ(0, std::memcmp(other->colours(), d8->colours(), 1024));

  HDIB d16 = MakeFrameDib(*picture, 16);
  ASSERT_TRUE(d16);
  EXPECT_EQ(d16->header().biClrUsed, 0u);
  EXPECT_EQ(d16->header().biSizeImage, 16u);  // stride 8
  const uint8_t* p = DibPixels(*d16) + 8;     // top row
  EXPECT_EQ(p[0] | p[1] << 8, 0x7C00);        // red, 5-5-5
  EXPECT_EQ(p[2] | p[3] << 8, (0x87 >> 3) << 10 | (0x45 >> 3) << 5 | (0x0F >> 3));

  HDIB d24 = MakeFrameDib(*picture, 24);
  ASSERT_TRUE(d24);
  EXPECT_EQ(d24->header().biClrUsed, 0u);
  EXPECT_EQ(d24->header().biSizeImage, 24u);  // stride 12
  EXPECT_EQ(d24->size(), 40u + 24u);

  EXPECT_EQ(FrameDepthFor(1), 8);
  EXPECT_EQ(FrameDepthFor(9), 16);
  EXPECT_EQ(FrameDepthFor(23), 16);
  EXPECT_EQ(FrameDepthFor(32), 24);
  EXPECT_EQ(MakeFrameDib(CBmp(), 24), nullptr);
}

TEST(FrameComposerTest, MpegImageLoaderGivesStampedTwentyFourBitFrames) {
  LogoCase c;
  std::string image = testing::WritePatternBmp(c.dir.File("image.bmp"), 40, 30, 2);
  c.settings.nXPos = 5;
  c.settings.nYPos = 6;
  PrepareLogo(c.settings, c.pictures);
  FrameComposer composer{c.settings, &c.pictures};
  HDIB dib = ComposedImageLoader(composer)(image);
  ASSERT_TRUE(dib);
  EXPECT_EQ(dib->header().biBitCount, 24);
  EXPECT_EQ(testing::RgbOfDib(*dib), testing::ExpectedFrameRgb(image, composer, 24));
  // The logo is there: pixel (5, 6) is the logo's (0, 0).
  const uint8_t* top = DibPixels(*dib) + DibRowStride(40, 24) * (30 - 1 - 6);
  EXPECT_EQ(top[3 * 5 + 1], GetGValue(LogoCase::kKey));
  EXPECT_EQ(ComposedImageLoader(composer)(c.dir.File("missing.bmp")), nullptr);

}

TEST(CompanyLogoDialogTest, CaptionsEnablesAndPicker) {
  FrameList list;
  SettingsStore store;
  CFramewrightDoc doc(list, store);
  CompanyLogoDialog fresh = CompanyLogoDialog::ForDocument(doc);
  EXPECT_EQ(fresh.logoCaption, "U:<LOGO~");
  EXPECT_EQ(fresh.LogoFile(), "<LOGO");
  EXPECT_EQ(fresh.ColourCaption(), "W:R0G0B0~");
  EXPECT_TRUE(fresh.PositionEnabled());
  EXPECT_FALSE(fresh.ColourButtonEnabled());

  CompanyLogoDialog d = fresh;
  d.transparent = true;
  EXPECT_TRUE(d.ColourButtonEnabled());
  EXPECT_TRUE(d.ColourFromLogoEnabled());
  d.useLogo = false;
  EXPECT_FALSE(d.PositionEnabled() || d.TransparentEnabled() || d.LogoButtonEnabled() ||
               d.ColourButtonEnabled() || d.ColourFromLogoEnabled());

  EXPECT_EQ(CompanyLogoDialog::PickerCaption(0), "W:0~");
  EXPECT_EQ(CompanyLogoDialog::PickerCaption(10), "W:A~");
  EXPECT_EQ(CompanyLogoDialog::PickerCaption(15), "W:F~");
  EXPECT_EQ(CompanyLogoDialog::PickerCaption(16), "");
  EXPECT_EQ(CompanyLogoDialog::PickerColour(1), 0x000080u);
  EXPECT_EQ(CompanyLogoDialog::PickerColour(7), 0xC0C0C0u);
  EXPECT_EQ(CompanyLogoDialog::PickerColour(12), 0xFF0000u);
  EXPECT_TRUE(d.PickColour(9));
  EXPECT_EQ(d.ColourCaption(), "W:R255G0B0~");
  EXPECT_FALSE(d.PickColour(-1));
  EXPECT_EQ(d.colour, 0x0000FFu);
}

TEST(CompanyLogoDialogTest, OkWritesSectionLogoSavesAndPreparesTheLogo) {
  testing::ScopedProgramFolder home;
  LogoCase c;
  FrameList list;
  SettingsStore store;
  store.SetPath(home.File("Clipora.ini"));
  CFramewrightDoc doc(list, store);
  LogoPictures pictures;

  CompanyLogoDialog d = CompanyLogoDialog::ForDocument(doc);
  d.xText = "12abc";
  d.yText = "-7";
  d.transparent = true;
  d.colour = 0x000080FF;
  d.ChooseLogoFile(c.logoPath);
  EXPECT_EQ(d.logoCaption, "U:" + c.logoPath + "~");
  EXPECT_TRUE(d.Apply(doc, pictures));

  EXPECT_EQ(doc.logo.nXPos, 12);
  EXPECT_EQ(doc.logo.nYPos, -7);
  EXPECT_EQ(doc.logo.bUseTransparent, 1);
  EXPECT_EQ(doc.logo.sLogoFile, c.logoPath);
  EXPECT_TRUE(pictures.transparentLogo.IsValid());
  SettingsStore saved;
  ASSERT_TRUE(saved.Load(home.File("Clipora.ini")));
  std::string text;
  EXPECT_TRUE(saved.GetString("Logo", "crTrans", text));
  EXPECT_EQ(text, "255,128,0");
  EXPECT_TRUE(saved.GetString("Logo", "nXPos", text));
  EXPECT_EQ(text, "12");
  EXPECT_TRUE(saved.GetString("Logo", "sLogoFile", text));
  EXPECT_EQ(text, c.logoPath);
  EXPECT_TRUE(saved.GetString("Logo", "bUseLogo", text));
  EXPECT_EQ(text, "1");
}

}  // namespace
}  // namespace quendrolix
