#include "image/cbmp.h"

#include <gtest/gtest.h>

#include "image/builtin_pictures.h"
#include "image/clipboard.h"
#include "image/image_preview.h"
#include "support/image_fixtures.h"
#include "support/test_support.h"

namespace quendrolix {
namespace {
using testing::TempDir;

TEST(CBmpTest, UnknownExtensionsNeitherLoadNorWrite) {
  TempDir dir;
  CBmp picture;
  picture.Attach(testing::PatternBitmap(4, 4));
  EXPECT_TRUE(picture.Save(dir.File("a.bmp")));
  std::filesystem::copy_file(dir.File("a.bmp"), dir.File("a.rle"));
  for (const char* name : {"a.rle", "a", "a.gif.txt", "<LOGO"}) {
    CBmp other;
    EXPECT_FALSE(other.Load(dir.File(name))) << name;
    EXPECT_FALSE(other.IsValid());
  }
  for (const char* name : {"b.gif", "b.tga", "b.rle", "b"}) {
    EXPECT_FALSE(picture.Save(dir.File(name))) << name;
    EXPECT_FALSE(std::filesystem::exists(dir.File(name))) << name;
  }
  // A failed load leaves the object empty, even when it held a picture.
  EXPECT_FALSE(picture.Load(dir.File("missing.bmp")));
  int w = 0, h = 0;
  EXPECT_FALSE(picture.GetSize(w, h));
}

TEST(CBmpTest, DrawsOpaqueStretchedAndTransparent) {
  CBmp picture;
  HBITMAP bitmap = Bitmap::Create(2, 2);
  bitmap->Fill(BgrxFromColour(RGB(10, 20, 30)));
  bitmap->SetPixel(1, 1, BgrxFromColour(RGB(1, 2, 3)));
  picture.Attach(bitmap);
  DeviceContext dc(Bitmap::Create(6, 6));
  dc.FillRect(0, 0, 6, 6, RGB(200, 200, 200));
  picture.Draw(dc, 1, 1);
  EXPECT_EQ(dc.GetPixel(1, 1), RGB(10, 20, 30));
  EXPECT_EQ(dc.GetPixel(2, 2), RGB(1, 2, 3));
  EXPECT_EQ(dc.GetPixel(3, 3), RGB(200, 200, 200));
  picture.Draw(dc, 2, 2, 4, 4, 0, 0, true);
  EXPECT_EQ(dc.GetPixel(5, 5), RGB(1, 2, 3));
  EXPECT_EQ(dc.GetPixel(4, 4), RGB(1, 2, 3));
  EXPECT_EQ(dc.GetPixel(3, 3), RGB(10, 20, 30));

  // With (1, 2, 3) transparent the target shows through there, and its colours are kept.
  dc.FillRect(0, 0, 6, 6, RGB(200, 200, 200));
  dc.SetBkColor(RGB(5, 5, 5));
  picture.SetTransparent(true, RGB(1, 2, 3));
  picture.Draw(dc, 0, 0);
  EXPECT_EQ(dc.GetPixel(0, 0), RGB(10, 20, 30));
  EXPECT_EQ(dc.GetPixel(1, 1), RGB(200, 200, 200));
  EXPECT_EQ(dc.bkColor(), RGB(5, 5, 5));
  ASSERT_TRUE(picture.mask());
  EXPECT_TRUE(picture.mask()->monochrome());
  picture.Draw(dc, 2, 2, 4, 4, 0, 0, true);  // the kept mask, stretched
  EXPECT_EQ(dc.GetPixel(5, 5), RGB(200, 200, 200));
  EXPECT_EQ(dc.GetPixel(2, 5), RGB(10, 20, 30));
}

TEST(CBmpTest, ClipboardCarriesBitmapAndPalette) {
  MemoryClipboard clipboard;
  CBmp picture;
  picture.Attach(testing::PatternBitmap(5, 3), DefaultPalette(4));
  ASSERT_TRUE(picture.CopyToClipboard(clipboard));
  EXPECT_FALSE(clipboard.isOpen());
  // What was put there is a copy: changing the picture later does not change it.
  picture.bitmap()->Fill(0);
  CBmp pasted;
  ASSERT_TRUE(pasted.PasteFromClipboard(clipboard));
  EXPECT_EQ(testing::RgbOf(pasted), testing::RgbOf(*testing::PatternBitmap(5, 3)));
  ASSERT_TRUE(pasted.palette());
  EXPECT_EQ(pasted.palette()->size(), 16u);

  clipboard.Open();
  clipboard.Empty();
  clipboard.Close();
  EXPECT_FALSE(pasted.PasteFromClipboard(clipboard));
  clipboard.refusePlacement = true;
  EXPECT_FALSE(picture.CopyToClipboard(clipboard));
  clipboard.refuseOpen = true;
  EXPECT_FALSE(picture.CopyToClipboard(clipboard));
}

TEST(CBmpTest, LoadForgetsTheLastPicturesTransparency) {
  TempDir dir;
  CBmp picture;
  picture.Attach(testing::PatternBitmap(2, 2));
  ASSERT_TRUE(picture.Save(dir.File("a.bmp")));
  picture.SetTransparent(true, RGB(1, 1, 1));
  ASSERT_TRUE(picture.Load(dir.File("a.bmp")));
  EXPECT_EQ(picture.transparent(), 0u);
}

TEST(BuiltInPicturesTest, EveryPictureLoadsByItsName) {
  for (const char* name : {"<UP", "<DN", "<FIRST", "<LAST", "<DEL", "<LOGO"}) {
    std::string full = BuiltInPictureName(name);
    ASSERT_FALSE(full.empty()) << name;
    CBmp picture;
    ASSERT_TRUE(picture.Load(full)) << full;
    int w = 0, h = 0;
    ASSERT_TRUE(picture.GetSize(w, h));
    EXPECT_GE(w, 16);
    EXPECT_GE(h, 16);
  }
  EXPECT_TRUE(BuiltInPictureName("<NONE").empty());
  // The logo is there as a PCX and as an 8-bit bitmap; both show the same pixels, and the
  // bitmap form has its full 256-entry palette.
  CBmp pcx, b8, b4;
  ASSERT_TRUE(pcx.Load("<LOGO.P"));
  ASSERT_TRUE(b8.Load("<logo.b8"));
  EXPECT_EQ(testing::RgbOf(pcx), testing::RgbOf(b8));
  ASSERT_TRUE(b8.palette());
  EXPECT_EQ(b8.palette()->size(), 256u);
  ASSERT_TRUE(b4.Load("<UP.B4"));
  EXPECT_FALSE(b4.palette());
  EXPECT_FALSE(b4.Load("<UP.P"));  // there is no PCX of that name
  // The data is what the script in the repository makes.
  EXPECT_EQ(BuiltInResources().size(), 7u);
}

TEST(ImagePreviewTest, ExtensionsTextsAndFit) {
  for (const char* name : {"a.BMP", "x/y.jpeg", "c.Rle", "d.cri", "e.tiff", "f.gif"})
    EXPECT_TRUE(IsPreviewableFile(name)) << name;
  for (const char* name : {"a.avi", "b", "c.bmp.txt", "d.jfif"})
    EXPECT_FALSE(IsPreviewableFile(name)) << name;

  PreviewRect wide = FitPreview(200, 100, 100, 100);
  EXPECT_EQ(wide.x, 0);
  EXPECT_EQ(wide.width, 100);
  EXPECT_EQ(wide.height, 50);
  EXPECT_EQ(wide.y, 25);
  PreviewRect tall = FitPreview(10, 40, 80, 80);
  EXPECT_EQ(tall.height, 80);
  EXPECT_EQ(tall.width, 20);
  EXPECT_EQ(tall.x, 30);

  TempDir dir;
  CBmp picture;
  picture.Attach(testing::PatternBitmap(30, 12));
  ASSERT_TRUE(picture.Save(dir.File("p.bmp")));
  ImagePreviewPanel::SetShowPreview(true);
  ImagePreviewPanel panel;
  ASSERT_TRUE(panel.SelectionChanged(dir.File("p.bmp")));
  EXPECT_EQ(panel.widthText(), "Width: 30 pixels");
  EXPECT_EQ(panel.heightText(), "Height: 12 pixels");
  DeviceContext dc(Bitmap::Create(60, 60));
  panel.Paint(dc, 0, 0, 60, 60, RGB(1, 1, 1));
  EXPECT_EQ(dc.GetPixel(30, 2), RGB(1, 1, 1));  // above the centred picture
  EXPECT_NE(dc.GetPixel(30, 30), RGB(1, 1, 1));
  EXPECT_FALSE(panel.SelectionChanged(dir.File("p.avi")));
  EXPECT_TRUE(panel.widthText().empty());
  ASSERT_TRUE(panel.SelectionChanged(dir.File("p.bmp")));
  panel.ShowPreviewChanged(false);
  EXPECT_TRUE(panel.heightText().empty());
  ImagePreviewPanel another;  // the state holds for every dialog of the run
  EXPECT_FALSE(another.SelectionChanged(dir.File("p.bmp")));
  ImagePreviewPanel::SetShowPreview(true);
}

TEST(ConvertCommandTest, ConvertsByExtensionAndNamesWhatFailed) {
  TempDir dir;
  CBmp picture;
  picture.Attach(testing::PatternBitmap(8, 5));
  ASSERT_TRUE(picture.Save(dir.File("in.bmp")));
  testing::CommandResult ok = testing::RunCli({"convert", dir.File("in.bmp"), dir.File("out.png")});
  EXPECT_EQ(ok.status, 0) << ok.errors;
  CBmp back;
  ASSERT_TRUE(back.Load(dir.File("out.png")));
  EXPECT_EQ(testing::RgbOf(back), testing::RgbOf(picture));

  testing::CommandResult missing =
      testing::RunCli({"convert", dir.File("none.gif"), dir.File("o.bmp")});
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.errors.find(dir.File("none.gif") + ": the file cannot be opened"),
            std::string::npos)
      << missing.errors;
  testing::WriteBytes(dir.File("bad.png"), {1, 2, 3});
  testing::CommandResult bad = testing::RunCli({"convert", dir.File("bad.png"), dir.File("o.bmp")});
  EXPECT_EQ(bad.status, 1);
  EXPECT_NE(bad.errors.find("This is not a valid PNG File!"), std::string::npos) << bad.errors;
  testing::CommandResult unknown =
      testing::RunCli({"convert", dir.File("in.bmp"), dir.File("o.xyz")});
  EXPECT_EQ(unknown.status, 1);
  EXPECT_FALSE(std::filesystem::exists(dir.File("o.xyz")));
  EXPECT_EQ(testing::RunCli({"convert", dir.File("in.bmp")}).status, 2);
}

}  // namespace
}  // namespace quendrolix
