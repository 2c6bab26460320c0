#include <gtest/gtest.h>

#include "mpeg/video/bitstream.h"
#include "mpeg/video/rate_control.h"
#include "mpeg/video/vbv_analysis.h"

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

// Pictures back to back, each `bits` long (headers included), the picture start code at
// the start of each.
std::vector<CodedPictureBits> Pictures(const std::vector<uint64_t>& bits) {
  std::vector<CodedPictureBits> out;
  uint64_t at = 0;
  for (uint64_t b : bits) {
    CodedPictureBits p;
    p.start = at;
    p.startCodeEnd = at + 32;
    p.vbvDelayAt = at + 45;
    out.push_back(p);
    at += b;
  }
  return out;
}

TEST(VbvTest, ConstantRateDelaysFollowTheStream) {
  // 100 kbit/s at 25 frames/s: 4000 bits arrive per period. A 12000-bit picture first,
  // then 4000-bit ones: the first leaves when it has arrived (0.12 s), every later one a
  // period after the one before, and the buffer never holds more than the first.
  std::vector<uint64_t> sizes = {12000, 4000, 4000, 4000};
  auto pictures = Pictures(sizes);
  VbvOutcome v = AnalyseVbv(pictures, 24000, 100000, 25);
  ASSERT_TRUE(v.constantRate);
  EXPECT_DOUBLE_EQ(v.startupSeconds, 0.12);
  ASSERT_EQ(v.vbvDelays.size(), 4u);
  for (size_t k = 0; k < 4; ++k) {
    // From the end of its start code to its decoding, in 90 kHz ticks.
    double expected = (0.12 + 0.04 * k - pictures[k].startCodeEnd / 100000.0) * 90000;
    EXPECT_NEAR(v.vbvDelays[k], expected, 1.0) << k;
  }
  EXPECT_EQ(v.bufferBits, 12000u);
  EXPECT_EQ(v.bufferSize, 1);

  // A picture that arrives late moves the start: nothing may be late.
  sizes = {4000, 4000, 20000, 4000};
  v = AnalyseVbv(Pictures(sizes), 32000, 100000, 25);
  ASSERT_TRUE(v.constantRate);
  EXPECT_NEAR(v.startupSeconds, 0.28 - 2 * 0.04, 1e-12);  // 28000 bits by the third decode
  EXPECT_EQ(v.bufferSize, 2);                             // 24000 bits held before it
}

TEST(VbvTest, StreamsTheRateCannotCarryAreVariable) {
  // Tiny pictures after a big one: at a constant rate the buffer would have to keep what
  // the stream never takes (or the delays overflow 16 bits): variable rate, every
  // vbv_delay 0xFFFF, and the smallest buffer in which the decoder never waits.
  std::vector<uint64_t> sizes = {400000};
  for (int i = 0; i < 99; ++i) sizes.push_back(500);
  auto pictures = Pictures(sizes);
  uint64_t end = 400000 + 99 * 500;
  VbvOutcome v = AnalyseVbv(pictures, end, 100000, 25);
  EXPECT_FALSE(v.constantRate);
  for (int d : v.vbvDelays) ASSERT_EQ(d, kVariableVbvDelay);
  EXPECT_EQ(v.bufferSize, (400000 + 16383) / 16384);
  EXPECT_DOUBLE_EQ(v.startupSeconds, 4.0);
  // A slideshow is variable by design, whatever its sizes.
  VbvOutcome slides = AnalyseVbv(Pictures({4000, 4000}), 8000, 100000, 25, true);
  EXPECT_FALSE(slides.constantRate);
  // Larger than the field can describe: the largest it can.
  VbvOutcome huge = AnalyseVbv(Pictures({40000000}), 40000000, 100000, 25);
  EXPECT_EQ(huge.bufferSize, kMaxVbvBufferSize);
}

TEST(SlideshowRateTest, EachPictureTakesWhatArrivedWhileTheOneBeforeWasShown) {
  SlideshowRate rate;
  rate.Init(1000000, 25, 300000);  // 40000 bits a frame, buffer capped at 300000
  // The first picture waits for its own share: 5 frames.
  EXPECT_DOUBLE_EQ(rate.Budget(5), 200000);
  rate.Spent(150000, 5);
  // The second gets the 5 frames the first was shown, plus what the first left.
  EXPECT_DOUBLE_EQ(rate.Budget(50), 250000);
  rate.Spent(100000, 50);
  // 50 frames would bring 2 Mbit: the buffer holds no more than its cap.
  EXPECT_DOUBLE_EQ(rate.Budget(1), 300000);
  rate.Spent(400000, 1);  // an overrun leaves the buffer empty, not negative
  EXPECT_DOUBLE_EQ(rate.Budget(1), 40000);
}

}  // namespace
}  // namespace quendrolix
