#include <gtest/gtest.h>

#include "mpeg/video/bitstream.h"
#include "mpeg/video/rate_control.h"

namespace quendrolix {
namespace {

EncodingParameters Params(double bitRate, int code) {
  EncodingParameters p;
  p.bitRate = bitRate;
  p.frameRateCode = code;
  p.frameRate = FrameRateOfCode(code);
  p.mbWidth = 22;
  p.mbHeight = 18;
  p.vbvBufferSize = 512;
  return p;
}

TEST(RateControlTest, InitialValues) {
  RateControl rc;
  rc.InitSequence(Params(1064960, 3));  // 25 frames/s
  EXPECT_EQ(rc.r, 85197);               // floor(2 x 1064960 / 25 + 0.5)
  EXPECT_EQ(rc.Xi, 1481683);            // floor(1064960 x 160 / 115 + 0.5)
  EXPECT_EQ(rc.Xp, 555631);
  EXPECT_EQ(rc.Xb, 388942);
  EXPECT_EQ(rc.d0i, 27483);  // floor(85197 x 10 / 31 + 0.5)
  EXPECT_EQ(rc.d0p, 27483);
  EXPECT_EQ(rc.d0b, 38476);
  EXPECT_EQ(rc.avgAct, 400.0);
  EXPECT_EQ(rc.R, 0);
  rc.InitGop(3, 6);  // first GOP of N = 12: I P P P and six B
  EXPECT_EQ(rc.R, 425984);
  EXPECT_EQ(rc.Np, 3);
  EXPECT_EQ(rc.Nb, 6);
  rc.InitPicture(kPictureI, 1000);
  // 425984 / (1 + 3 x 555631 / 1481684 + 6 x 388942 / (1481684 x 1.4))
  EXPECT_EQ(rc.T, 131072);
  EXPECT_EQ(rc.d, 27483);
  EXPECT_EQ(rc.StartQuantiser(), 20);  // 2 x floor(27483 x 31 / 85197 + 0.5)
}

TEST(RateControlTest, MacroblockQuantiserHysteresis) {
  RateControl rc;
  rc.InitSequence(Params(1064960, 3));
  rc.InitGop(3, 6);
  rc.InitPicture(kPictureI, 0);
  // With r = 31, d = n and the activity at the average, the quantiser of macroblock 0 is 2n.
  rc.r = 31;
  rc.avgAct = 400;
  rc.prevMquant = 12;
  rc.d = 5;
  EXPECT_EQ(rc.MacroblockQuantiser(0, 400, rc.S), 12);  // 10 after 12: kept
  rc.prevMquant = 8;
  rc.d = 3;
  EXPECT_EQ(rc.MacroblockQuantiser(0, 400, rc.S), 6);  // 6 after 8: the rule starts at 8
  rc.prevMquant = 12;
  rc.d = 9;
  EXPECT_EQ(rc.MacroblockQuantiser(0, 400, rc.S), 18);  // 6 apart: changes
  rc.d = -4;
  EXPECT_EQ(rc.MacroblockQuantiser(0, 400, rc.S), 2);
  rc.d = 1000;
  EXPECT_EQ(rc.MacroblockQuantiser(0, 400, rc.S), 62);
  EXPECT_EQ(rc.Q, 12 + 6 + 18 + 2 + 62);
  EXPECT_DOUBLE_EQ(rc.actsum, 5 * 400.0);
  // Busy macroblocks get coarser quantisers, flat ones finer.
  rc.d = 10;
  rc.prevMquant = 0;
  EXPECT_EQ(rc.MacroblockQuantiser(0, 4000, rc.S), 36);  // 20 x (8400 / 4800) = 35
  rc.prevMquant = 0;
  EXPECT_EQ(rc.MacroblockQuantiser(0, 1, rc.S), 10);  // 20 x (401 / 801)
}

TEST(RateControlTest, PictureUpdateMovesTheModel) {
  RateControl rc;
  rc.InitSequence(Params(1064960, 3));
  rc.InitGop(3, 6);
  rc.InitPicture(kPictureP, 0);
  int64_t T = rc.T;
  rc.Q = 396 * 10;
  rc.actsum = 396 * 123.0;
  rc.UpdatePicture(50000);
  EXPECT_EQ(rc.R, 425984 - 50000);
  EXPECT_EQ(rc.Xp, 250000);  // 50000 x 0.5 x 3960 / 396
  EXPECT_EQ(rc.d0p, 27483 + 50000 - T);
  EXPECT_EQ(rc.Np, 2);
  EXPECT_DOUBLE_EQ(rc.avgAct, 123.0);
}

TEST(VbvTest, FirstPictureWaitsForASevenEighthsBuffer) {
  VbvModel vbv;
  vbv.Init(Params(1064960, 4));
  EXPECT_EQ(vbv.PictureDelay(kPictureI), 65535);  // 7340032 x 90000 / 1064960 = 620307
  vbv.EndOfPicture(7000000 - 3);                  // rounded up to whole bytes: 7000000
  // Each later picture is decoded one period (3003.003 ticks) after the one before.
  const double first = 7340032 * 90000.0 / 1064960, period = 90000 / (30000.0 / 1001.0);
  EXPECT_EQ(vbv.PictureDelay(kPictureP),
            static_cast<int>(first + period - 7000000 * 90000.0 / 1064960));  // 34589
  EXPECT_EQ(vbv.PictureDelay(kPictureB),
            static_cast<int>(first + 2 * period - 7000000 * 90000.0 / 1064960));
  vbv.EndOfPicture(uint64_t{100} << 30);  // far past the buffer: limited to 0
  EXPECT_EQ(vbv.PictureDelay(kPictureB), 0);
}

}  // namespace
}  // namespace quendrolix
