// The one fitting of a picture into an output frame: where it lands for each fit, that a
// large reduction averages detail instead of aliasing it, and the roads' size rounding.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "avi/avi_builder.h"
#include "image/picture_fit.h"
#include "platform/vfw/codec.h"
#include "tools/fitted_roads.h"

namespace quendrolix {
namespace {

constexpr Bgrx kRed = 0xFF0000, kBlack = 0;

HBITMAP Solid(int width, int height, Bgrx colour) {
  HBITMAP picture = Bitmap::Create(width, height);
  picture->Fill(colour);
  return picture;
}

TEST(PictureFit, PlacementOfEachFit) {
  // A 4:3 landscape into 16:9 and a portrait into 4:3: bars at the sides.
  EXPECT_EQ(PlaceForFit(1600, 1200, 1920, 1080, PictureFit::kLetterbox),
            (FitPlacement{1440, 1080, 240, 0}));
  EXPECT_EQ(PlaceForFit(1000, 1500, 320, 240, PictureFit::kLetterbox),
            (FitPlacement{160, 240, 80, 0}));
  // Wider than the frame: bars above and below.
  EXPECT_EQ(PlaceForFit(2560, 1600, 320, 240, PictureFit::kLetterbox),
            (FitPlacement{320, 200, 0, 20}));
  // Crop covers the frame and centres the overflow.
  EXPECT_EQ(PlaceForFit(2560, 1600, 320, 240, PictureFit::kCrop), (FitPlacement{384, 240, -32, 0}));
  EXPECT_EQ(PlaceForFit(1000, 1500, 320, 240, PictureFit::kCrop),
            (FitPlacement{320, 480, 0, -120}));
  EXPECT_EQ(PlaceForFit(1000, 1500, 320, 240, PictureFit::kStretch),
            (FitPlacement{320, 240, 0, 0}));
  // None: unscaled, centred, cut when larger.
  EXPECT_EQ(PlaceForFit(100, 50, 320, 240, PictureFit::kNone), (FitPlacement{100, 50, 110, 95}));
  EXPECT_EQ(PlaceForFit(400, 300, 320, 240, PictureFit::kNone), (FitPlacement{400, 300, -40, -30}));
  // A tiny picture is enlarged to the frame; no side ever becomes 0.
  EXPECT_EQ(PlaceForFit(3, 1, 320, 240, PictureFit::kLetterbox), (FitPlacement{320, 107, 0, 67}));
  EXPECT_EQ(PlaceForFit(10000, 1, 320, 240, PictureFit::kLetterbox).height, 1);
}

TEST(PictureFit, LetterboxPutsThePictureOnBlackAndCropFillsTheFrame) {
  HBITMAP wide = Solid(400, 100, kRed);
  HBITMAP boxed = FitPicture(*wide, 200, 200, PictureFit::kLetterbox);
  ASSERT_TRUE(boxed);
  ASSERT_EQ(boxed->width(), 200);
  ASSERT_EQ(boxed->height(), 200);
  EXPECT_EQ(boxed->Pixel(100, 0), kBlack);
  EXPECT_EQ(boxed->Pixel(100, 74), kBlack);
  EXPECT_EQ(boxed->Pixel(0, 75), kRed);
  EXPECT_EQ(boxed->Pixel(199, 124), kRed);
  EXPECT_EQ(boxed->Pixel(100, 125), kBlack);
  HBITMAP filled = FitPicture(*wide, 200, 200, PictureFit::kCrop);
  ASSERT_TRUE(filled);
  for (int y : {0, 100, 199})
    for (int x : {0, 100, 199}) EXPECT_EQ(filled->Pixel(x, y), kRed) << x << "," << y;
  // A monochrome picture is fitted too (in colour).
  HBITMAP mono = Bitmap::Create(64, 64, true);
  mono->Fill(0xFFFFFF);
  HBITMAP fromMono = FitPicture(*mono, 32, 16, PictureFit::kLetterbox);
  ASSERT_TRUE(fromMono);
  EXPECT_EQ(fromMono->Pixel(16, 8), 0xFFFFFFu);
  EXPECT_EQ(fromMono->Pixel(0, 8), kBlack);
  EXPECT_FALSE(FitPicture(*wide, 0, 10, PictureFit::kLetterbox));
  EXPECT_FALSE(FitPicture(*wide, 20000, 10, PictureFit::kLetterbox));
}

TEST(PictureFit, AFiveToOneReductionAveragesFineDetail) {
  // Single-pixel stripes of black and white reduced five times over: a filter that averages
  // gives even grey; one that picks pixels gives black or white stripes (aliasing).
  HBITMAP stripes = Bitmap::Create(1000, 500);
  for (int y = 0; y < 500; ++y)
    for (int x = 0; x < 1000; ++x) stripes->SetPixel(x, y, (x + y) % 2 ? 0xFFFFFF : 0);
  HBITMAP small = FitPicture(*stripes, 200, 100, PictureFit::kStretch);
  ASSERT_TRUE(small);
  int worst = 0;
  for (int y = 4; y < 96; ++y)
    for (int x = 4; x < 196; ++x)
      worst = std::max(worst, std::abs(int(small->Pixel(x, y) & 0xFF) - 128));
  EXPECT_LE(worst, 12);
}

TEST(PictureFit, RoadsRoundTheFrameToWhatTheyCode) {
  int w = 1918, h = 1081;
  RoundForMpeg1(w, h);
  EXPECT_EQ(w, 1920);
  EXPECT_EQ(h, 1082);
  w = 5000, h = 3;
  RoundForMpeg1(w, h);
  EXPECT_EQ(w, 4080);
  EXPECT_EQ(h, 4);
  w = 321, h = 241;
  RoundToEven(w, h);
  EXPECT_EQ(w, 320);
  EXPECT_EQ(h, 240);
  // MS Video 1 codes multiples of 4; the full-frame writer any size.
  w = 322, h = 242;
  RoundForCompressor(kHandlerVideo1, 24, w, h);
  EXPECT_EQ(w, 320);
  EXPECT_EQ(h, 240);
  EXPECT_TRUE(CompressorRefusal(kHandlerVideo1, 24, w, h).empty());
  w = 322, h = 242;
  RoundForCompressor(kHandlerFullFrames, 24, w, h);
  EXPECT_EQ(w, 322);
  EXPECT_EQ(h, 242);
}

}  // namespace
}  // namespace quendrolix
