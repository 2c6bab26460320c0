// The editor's operations beside ImageMagick's on a real photograph: turns and mirrors
// must give the very same pixels, resizing must look the same (PSNR), greyscale must
// use the same weights.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "image/cbmp.h"
#include "image/edit/image_edit.h"
#include "support/image_fixtures.h"

namespace quendrolix::edit {
namespace {

namespace fs = std::filesystem;
using testing::ImageMagickRgb;
using testing::MaxChannelDifference;
using testing::Psnr;
using testing::RgbOf;
using testing::RunImageMagick;
using testing::ShellQuote;
using testing::TempDir;

const char* const kPhoto = "/usr/share/backgrounds/mate/abstract/Elephants_3840x2160.jpg";

class ImageEditInteropTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (testing::ImageMagickConvert().empty()) GTEST_SKIP() << "ImageMagick is not installed";
    if (!fs::exists(kPhoto)) GTEST_SKIP() << kPhoto << " is missing (mate-backgrounds)";
    CBmp photo;
    ASSERT_TRUE(photo.Load(kPhoto));
    picture_ = photo.bitmap();
    // ImageMagick works on the very pixels we decoded.
    source = dir.File("source.png");
    ASSERT_TRUE(photo.Save(source));
  }
  // ImageMagick's result of `operation` on the source.
  std::vector<uint8_t> Magick(const std::string& operation, int& w, int& h) {
    std::string out = dir.File("magick.png");
    EXPECT_TRUE(RunImageMagick(ShellQuote(source) + " " + operation + " " + ShellQuote(out)));
    std::vector<uint8_t> rgb;
    EXPECT_TRUE(ImageMagickRgb(out, rgb, w, h));
    return rgb;
  }
  TempDir dir;
  std::string source;
  HBITMAP picture_;
};

TEST_F(ImageEditInteropTest, TurnsAndMirrorsGiveImageMagicksPixels) {
  struct Case {
    const char* magick;
    HBITMAP ours;
  };
  const Case cases[] = {{"-rotate 90", Rotate(*picture_, 1)},
                        {"-rotate 180", Rotate(*picture_, 2)},
                        {"-rotate 270", Rotate(*picture_, 3)},
                        {"-flop", Flip(*picture_, true)},
                        {"-flip", Flip(*picture_, false)}};
  for (const Case& c : cases) {
    int w = 0, h = 0;
    std::vector<uint8_t> theirs = Magick(c.magick, w, h);
    ASSERT_EQ(w, c.ours->width()) << c.magick;
    ASSERT_EQ(h, c.ours->height()) << c.magick;
    EXPECT_EQ(MaxChannelDifference(RgbOf(*c.ours), theirs), 0) << c.magick;
  }
  int w = 0, h = 0;
  std::vector<uint8_t> crop = Magick("-crop 640x360+1000+700 +repage", w, h);
  EXPECT_EQ(MaxChannelDifference(RgbOf(*Crop(*picture_, {1000, 700, 640, 360})), crop), 0);
}

TEST_F(ImageEditInteropTest, ResizingLooksAsImageMagicksDoes) {
  // Down by an uneven factor, against ImageMagick's area-averaging box filter.
  HBITMAP small = Resize(*picture_, 640, 360);
  int w = 0, h = 0;
  std::vector<uint8_t> box = Magick("-filter Box -resize 640x360!", w, h);
  ASSERT_EQ(w, 640);
  double down = Psnr(RgbOf(*small), box);
  std::printf("shrink 3840x2160 -> 640x360: PSNR %.2f dB against ImageMagick's box filter\n", down);
  EXPECT_GT(down, 40.0);

  // Up from a small picture, against ImageMagick's bilinear (triangle) filter.
  HBITMAP tiny = Resize(*picture_, 160, 90);
  CBmp tinyPicture;
  tinyPicture.Attach(tiny);
  source = dir.File("tiny.png");
  ASSERT_TRUE(tinyPicture.Save(source));
  std::vector<uint8_t> triangle = Magick("-filter Triangle -resize 400x225!", w, h);
  double up = Psnr(RgbOf(*Resize(*tiny, 400, 225)), triangle);
  std::printf("enlarge 160x90 -> 400x225: PSNR %.2f dB against ImageMagick's triangle filter\n",
              up);
  EXPECT_GT(up, 35.0);
}

TEST_F(ImageEditInteropTest, GreyscaleUsesTheSameWeights) {
  int w = 0, h = 0;
  std::vector<uint8_t> theirs = Magick("-grayscale Rec601Luma", w, h);
  EXPECT_LE(MaxChannelDifference(RgbOf(*Greyscale(*picture_)), theirs), 1);
}

}  // namespace
}  // namespace quendrolix::edit
