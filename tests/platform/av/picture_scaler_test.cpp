#include <gtest/gtest.h>

#include <cmath>

#include "platform/av/picture_scaler.h"
#include "support/vfw_fixtures.h"

namespace quendrolix {
namespace {
using namespace testing;

// A picture of one-pixel black and white lines: a proper downscaling filter turns it into
// even grey, where dropping pixels would give black or white.
HDIB Lines(int w, int h) {
  HDIB dib = NewDib(w, h, 24, 0);
  const size_t stride = DibRowStride(w, 24);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      for (int c = 0; c < 3; ++c) DibPixels(*dib)[y * stride + 3 * x + c] = x % 2 ? 255 : 0;
  return dib;
}

TEST(PictureScalerTest, DownscalingAveragesFineDetail) {
  HDIB lines = Lines(400, 300);
  HDIB small = av::ScaleDib(*lines, 100, 75);
  ASSERT_TRUE(small);
  EXPECT_EQ(small->header().biWidth, 100);
  EXPECT_EQ(small->header().biHeight, 75);
  EXPECT_EQ(small->header().biBitCount, 24);
  const std::vector<uint8_t> bgr = DibToBgrTopDown(*small);
  // Away from the edges, where the filter runs out of picture.
  for (int y = 2; y < 73; ++y)
    for (int x = 2; x < 98; ++x) ASSERT_NEAR(bgr[(y * 100 + x) * 3], 128, 6) << x << "," << y;
}

TEST(PictureScalerTest, KeepsPicturesAndOrientationAtEveryDepth) {
  for (int bits : {8, 16, 24, 32}) {
    SCOPED_TRACE(bits);
    HDIB source = MakeTestFrame(120, 90, bits, 3);
    // Same size: the colours come back (the filter has nothing to do).
    HDIB same = av::ScaleDib(*source, 120, 90);
    ASSERT_TRUE(same);
    EXPECT_GE(Psnr(DibToBgrTopDown(*same), DibToBgrTopDown(*source)), 45);
    // Twice as large and back: close to the start, the top row still on top.
    HDIB big = av::ScaleDib(*source, 240, 180);
    ASSERT_TRUE(big);
    HDIB back = av::ScaleDib(*big, 120, 90);
    ASSERT_TRUE(back);
    EXPECT_GE(Psnr(DibToBgrTopDown(*back), DibToBgrTopDown(*source)), 24);
  }
}

TEST(PictureScalerTest, RefusesImpossibleSizesAndDamagedBlocks) {
  HDIB source = MakeTestFrame(16, 16, 24, 0);
  EXPECT_FALSE(av::ScaleDib(*source, 0, 10));
  EXPECT_FALSE(av::ScaleDib(*source, 10, -1));
  EXPECT_FALSE(av::ScaleDib(*source, 100000, 10));
  HDIB torn = DibBlock::FromBytes(source->data(), 60);  // header promises more rows
  EXPECT_FALSE(av::ScaleDib(*torn, 8, 8));
  std::vector<uint8_t> out(3 * 4 * 4);
  EXPECT_FALSE(av::ScaleBgr({nullptr, 4, 4, 12}, {out.data(), 4, 4, 12}));
  EXPECT_FALSE(av::ScaleBgr({out.data(), 4, 4, 11}, {out.data(), 4, 4, 12}));
}

}  // namespace
}  // namespace quendrolix
