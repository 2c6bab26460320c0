// The editor's operations on pixels whose positions and values we know.
#include <gtest/gtest.h>

#include "image/edit/edit_history.h"
#include "image/edit/edit_operation.h"
#include "image/edit/image_edit.h"
#include "support/image_fixtures.h"

namespace quendrolix::edit {
namespace {

using testing::PatternBitmap;
using testing::RgbOf;

bool SamePixels(const Bitmap& a, const Bitmap& b) {
  return a.width() == b.width() && a.height() == b.height() && RgbOf(a) == RgbOf(b);
}

HBITMAP Solid(int width, int height, COLORREF colour) {
  HBITMAP bitmap = Bitmap::Create(width, height);
  bitmap->Fill(BgrxFromColour(colour));
  return bitmap;
}

TEST(ImageEditTest, RotationsMovePixelsClockwise) {
  HBITMAP source = PatternBitmap(5, 3);
  HBITMAP quarter = Rotate(*source, 1);
  ASSERT_TRUE(quarter);
  ASSERT_EQ(quarter->width(), 3);
  ASSERT_EQ(quarter->height(), 5);
  // Clockwise: the top-left corner goes to the top-right, the bottom-left to the top-left.
  EXPECT_EQ(quarter->Pixel(2, 0), source->Pixel(0, 0));
  EXPECT_EQ(quarter->Pixel(0, 0), source->Pixel(0, 2));
  EXPECT_EQ(quarter->Pixel(0, 4), source->Pixel(4, 2));
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 5; ++x) ASSERT_EQ(quarter->Pixel(2 - y, x), source->Pixel(x, y));

  // 270 is 90 the other way; 180 is both flips; four turns give the picture back.
  HBITMAP back = Rotate(*Rotate(*source, 3), 1);
  EXPECT_TRUE(SamePixels(*back, *source));
  EXPECT_TRUE(SamePixels(*Rotate(*source, 2), *Flip(*Flip(*source, true), false)));
  EXPECT_TRUE(SamePixels(*Rotate(*Rotate(*quarter, 1), 2), *source));
  EXPECT_TRUE(SamePixels(*Rotate(*source, -1), *Rotate(*source, 3)));
  EXPECT_TRUE(SamePixels(*Rotate(*source, 4), *source));
}

TEST(ImageEditTest, FlipsMirrorOneAxis) {
  HBITMAP source = PatternBitmap(4, 3, 9);
  HBITMAP across = Flip(*source, true);
  HBITMAP down = Flip(*source, false);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 4; ++x) {
      ASSERT_EQ(across->Pixel(3 - x, y), source->Pixel(x, y));
      ASSERT_EQ(down->Pixel(x, 2 - y), source->Pixel(x, y));
    }
  EXPECT_TRUE(SamePixels(*Flip(*across, true), *source));
}

TEST(ImageEditTest, CropKeepsThePartInsideThePicture) {
  HBITMAP source = PatternBitmap(10, 8, 3);
  HBITMAP part = Crop(*source, {2, 3, 4, 2});
  ASSERT_TRUE(part);
  ASSERT_EQ(part->width(), 4);
  ASSERT_EQ(part->height(), 2);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 4; ++x) ASSERT_EQ(part->Pixel(x, y), source->Pixel(x + 2, y + 3));

  // A selection drawn past the edges is cut at them.
  HBITMAP corner = Crop(*source, {-5, 6, 8, 100});
  ASSERT_TRUE(corner);
  EXPECT_EQ(corner->width(), 3);
  EXPECT_EQ(corner->height(), 2);
  EXPECT_EQ(corner->Pixel(0, 0), source->Pixel(0, 6));
  // Nothing inside, or an empty selection: no picture.
  EXPECT_FALSE(Crop(*source, {10, 0, 5, 5}));
  EXPECT_FALSE(Crop(*source, {2, 2, 0, 3}));
  EXPECT_FALSE(Crop(*source, {2'000'000'000, 2'000'000'000, 2'000'000'000, 2'000'000'000}));
  EXPECT_EQ(ClipToPicture({-2'000'000'000, -2'000'000'000, 2'147'483'647, 2'147'483'647}, 10, 8),
            (EditRect{0, 0, 10, 8}));
}

TEST(ImageEditTest, ResizeAveragesWhenShrinkingAndKeepsFlatAreasFlat) {
  // A one-pixel checkerboard of black and white halves to an even grey.
  HBITMAP board = Bitmap::Create(8, 6);
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 8; ++x) board->SetPixel(x, y, (x + y) % 2 ? kBgrxWhite : 0);
  HBITMAP half = Resize(*board, 4, 3);
  ASSERT_TRUE(half);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 4; ++x) {
      COLORREF c = ColourFromBgrx(half->Pixel(x, y));
      ASSERT_NEAR(GetRValue(c), 128, 1);
      ASSERT_EQ(GetRValue(c), GetBValue(c));
    }

  // Uneven factors both ways leave a flat colour exactly as it was.
  HBITMAP flat = Solid(37, 23, RGB(200, 17, 99));
  for (auto [w, h] : {std::pair{11, 7}, std::pair{100, 61}, std::pair{1, 1}, std::pair{37, 23}}) {
    HBITMAP scaled = Resize(*flat, w, h);
    ASSERT_TRUE(scaled);
    ASSERT_EQ(scaled->width(), w);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x)
        ASSERT_EQ(scaled->Pixel(x, y), flat->Pixel(0, 0)) << w << "x" << h;
  }

  // The same size is the same picture; sizes out of range give none.
  HBITMAP pattern = PatternBitmap(9, 5);
  EXPECT_TRUE(SamePixels(*Resize(*pattern, 9, 5), *pattern));
  EXPECT_FALSE(Resize(*pattern, 0, 5));
  EXPECT_FALSE(Resize(*pattern, 9, kMaxSide + 1));
}

TEST(ImageEditTest, ResizeEnlargesBetweenNeighbours) {
  // Black | white, doubled: the edge becomes a ramp, the outer columns stay pure.
  HBITMAP pair = Bitmap::Create(2, 1);
  pair->SetPixel(0, 0, 0);
  pair->SetPixel(1, 0, kBgrxWhite);
  HBITMAP wide = Resize(*pair, 4, 1);
  ASSERT_TRUE(wide);
  int r[4];
  for (int x = 0; x < 4; ++x) r[x] = GetRValue(ColourFromBgrx(wide->Pixel(x, 0)));
  EXPECT_EQ(r[0], 0);
  EXPECT_EQ(r[3], 255);
  EXPECT_GT(r[1], 0);
  EXPECT_LT(r[1], r[2]);
  EXPECT_LT(r[2], 255);
  EXPECT_EQ(r[1] + r[2], 255);  // symmetric around the edge
}

TEST(ImageEditTest, FitSizeKeepsProportions) {
  int w = 0, h = 0;
  FitSize(5640, 3172, 640, 480, w, h);
  EXPECT_EQ(w, 640);
  EXPECT_EQ(h, 360);
  FitSize(300, 1000, 640, 480, w, h);
  EXPECT_EQ(w, 144);
  EXPECT_EQ(h, 480);
  FitSize(10000, 1, 100, 100, w, h);
  EXPECT_EQ(w, 100);
  EXPECT_EQ(h, 1);  // never 0
}

TEST(ImageEditTest, GreyscaleAndBrightnessContrast) {
  HBITMAP colours = Bitmap::Create(3, 1);
  colours->SetPixel(0, 0, BgrxFromColour(RGB(255, 0, 0)));
  colours->SetPixel(1, 0, BgrxFromColour(RGB(0, 255, 0)));
  colours->SetPixel(2, 0, BgrxFromColour(RGB(0, 0, 255)));
  HBITMAP grey = Greyscale(*colours);
  EXPECT_EQ(ColourFromBgrx(grey->Pixel(0, 0)), RGB(76, 76, 76));
  EXPECT_EQ(ColourFromBgrx(grey->Pixel(1, 0)), RGB(150, 150, 150));
  EXPECT_EQ(ColourFromBgrx(grey->Pixel(2, 0)), RGB(29, 29, 29));

  HBITMAP pattern = PatternBitmap(16, 16, 4);
  EXPECT_TRUE(SamePixels(*BrightnessContrast(*pattern, 0, 0), *pattern));
  HBITMAP mid = Solid(1, 1, RGB(100, 128, 200));
  auto at = [](const HBITMAP& b) { return ColourFromBgrx(b->Pixel(0, 0)); };
  EXPECT_EQ(at(BrightnessContrast(*mid, 100, 0)), RGB(255, 255, 255));
  EXPECT_EQ(at(BrightnessContrast(*mid, -100, 0)), RGB(0, 0, 0));
  EXPECT_EQ(at(BrightnessContrast(*mid, 20, 0)), RGB(151, 179, 251));
  // Contrast -100 flattens everything to mid-grey; +100 doubles the distance from it.
  EXPECT_EQ(at(BrightnessContrast(*mid, 0, -100)), RGB(128, 128, 128));
  EXPECT_EQ(at(BrightnessContrast(*mid, 0, 100)), RGB(72, 128, 255));
  // Out-of-range values are taken at the limits.
  EXPECT_EQ(at(BrightnessContrast(*mid, 500, 0)), at(BrightnessContrast(*mid, 100, 0)));
}

TEST(ImageEditTest, OperationsDescribeAndApply) {
  HBITMAP source = PatternBitmap(40, 20);
  EditOperation fit{EditKind::kResize};
  fit.width = 10;
  fit.height = 10;
  fit.keepProportions = true;
  HBITMAP fitted = fit.Apply(*source);
  ASSERT_TRUE(fitted);
  EXPECT_EQ(fitted->width(), 10);
  EXPECT_EQ(fitted->height(), 5);
  EXPECT_EQ(fit.Describe(), "Resize to fit 10x10");
  fit.keepProportions = false;
  EXPECT_EQ(fit.Apply(*source)->height(), 10);

  EditOperation crop{EditKind::kCrop};
  crop.area = {50, 50, 10, 10};
  EXPECT_FALSE(crop.Apply(*source));
  EditOperation unset{EditKind::kFitToOutputSize};
  EXPECT_FALSE(unset.Apply(*source));  // no output size yet
  EXPECT_EQ(EditOperation{EditKind::kRotate270}.Describe(), "Rotate 270");
}

TEST(ImageEditTest, FitToTheOutputFrameByEachFit) {
  // A white 40 x 20 picture into a black 20 x 20 frame.
  HBITMAP wide = Solid(40, 20, RGB(255, 255, 255));
  EditOperation fit{EditKind::kFitToOutputSize};
  fit.width = 20;
  fit.height = 20;
  auto at = [](const HBITMAP& b, int x, int y) { return ColourFromBgrx(b->Pixel(x, y)); };

  fit.fit = FrameFit::kLetterbox;  // 20 x 10 in the middle, black above and below
  HBITMAP letterbox = fit.Apply(*wide);
  ASSERT_TRUE(letterbox);
  EXPECT_EQ(letterbox->width(), 20);
  EXPECT_EQ(letterbox->height(), 20);
  EXPECT_EQ(at(letterbox, 10, 2), RGB(0, 0, 0));
  EXPECT_EQ(at(letterbox, 10, 10), RGB(255, 255, 255));
  EXPECT_EQ(at(letterbox, 0, 5), RGB(255, 255, 255));
  EXPECT_EQ(at(letterbox, 10, 17), RGB(0, 0, 0));

  fit.fit = FrameFit::kCrop;  // filled: white everywhere, the middle of the picture
  HBITMAP pattern = PatternBitmap(40, 20, 7);
  HBITMAP cropped = fit.Apply(*pattern);
  ASSERT_TRUE(cropped);
  EXPECT_EQ(cropped->width(), 20);
  EXPECT_EQ(cropped->height(), 20);
  EXPECT_EQ(RgbOf(*cropped), RgbOf(*Crop(*pattern, {10, 0, 20, 20})));

  fit.fit = FrameFit::kStretch;  // the whole picture squeezed into the frame: no black
  HBITMAP stretched = fit.Apply(*wide);
  ASSERT_TRUE(stretched);
  for (int y : {0, 10, 19})
    for (int x : {0, 10, 19}) EXPECT_EQ(at(stretched, x, y), RGB(255, 255, 255)) << x << "," << y;

  fit.fit = FrameFit::kNone;  // not scaled: the middle 20 columns of the picture
  EXPECT_EQ(RgbOf(*fit.Apply(*pattern)),
            RgbOf(*PlaceOnFrame(*Crop(*pattern, {10, 0, 20, 20}), 20, 20, 0, 0)));
  HBITMAP small = fit.Apply(*PatternBitmap(4, 4));
  EXPECT_EQ(at(small, 0, 0), RGB(0, 0, 0));
  EXPECT_EQ(small->Pixel(8, 8), PatternBitmap(4, 4)->Pixel(0, 0));
  EXPECT_NE(fit.Describe().find("20x20"), std::string::npos);
}

TEST(EditHistoryTest, UndoRedoAndTheModifiedMark) {
  EditHistory history;
  EXPECT_FALSE(history.Apply(EditOperation{EditKind::kGreyscale}));  // no picture yet
  HBITMAP original = PatternBitmap(6, 4);
  history.Reset(original);
  EXPECT_FALSE(history.IsModified());
  EXPECT_FALSE(history.CanUndo());

  ASSERT_TRUE(history.Apply(EditOperation{EditKind::kRotate90}));
  ASSERT_TRUE(history.Apply(EditOperation{EditKind::kGreyscale}));
  EXPECT_TRUE(history.IsModified());
  EXPECT_EQ(history.Current()->width(), 4);
  EXPECT_EQ(history.UndoText(), "Greyscale");
  EXPECT_EQ(history.StepCount(), 2u);

  ASSERT_TRUE(history.Undo());
  EXPECT_EQ(history.RedoText(), "Greyscale");
  ASSERT_TRUE(history.Undo());
  EXPECT_FALSE(history.CanUndo());
  EXPECT_EQ(history.Current(), original);  // the very picture, untouched
  EXPECT_TRUE(SamePixels(*history.Current(), *PatternBitmap(6, 4)));
  EXPECT_FALSE(history.IsModified());
  ASSERT_TRUE(history.Redo());
  EXPECT_EQ(history.Current()->height(), 6);

  // Saved here; a new step after an undo drops the redo steps.
  history.MarkSaved();
  EXPECT_FALSE(history.IsModified());
  ASSERT_TRUE(history.Apply(EditOperation{EditKind::kFlipVertical}));
  EXPECT_TRUE(history.IsModified());
  history.Undo();
  EXPECT_FALSE(history.IsModified());
  history.Undo();
  ASSERT_TRUE(history.Apply(EditOperation{EditKind::kFlipHorizontal}));
  EXPECT_FALSE(history.CanRedo());
  EXPECT_TRUE(history.IsModified());  // the saved state is gone for good
  history.Undo();
  EXPECT_TRUE(history.IsModified());

  // A failed operation changes nothing.
  EditOperation outside{EditKind::kCrop};
  outside.area = {100, 100, 5, 5};
  size_t steps = history.StepCount();
  EXPECT_FALSE(history.Apply(outside));
  EXPECT_EQ(history.StepCount(), steps);
}

TEST(EditHistoryTest, OldestStepsGoFirstWithinTheLimits) {
  EditHistory byCount(3);
  byCount.Reset(PatternBitmap(4, 4));
  for (int i = 0; i < 6; ++i) byCount.Apply(EditOperation{EditKind::kRotate90});
  EXPECT_EQ(byCount.StepCount(), 3u);
  int undone = 0;
  while (byCount.Undo()) ++undone;
  EXPECT_EQ(undone, 3);
  EXPECT_TRUE(byCount.IsModified());  // the loaded picture fell out of the history

  // 100 x 100 x 4 bytes a state: room for two.
  EditHistory byBytes(50, 2 * 100 * 100 * 4);
  byBytes.Reset(PatternBitmap(100, 100));
  for (int i = 0; i < 5; ++i) byBytes.Apply(EditOperation{EditKind::kFlipVertical});
  EXPECT_EQ(byBytes.StepCount(), 1u);
  EXPECT_TRUE(byBytes.HasPicture());
}

}  // namespace
}  // namespace quendrolix::edit
