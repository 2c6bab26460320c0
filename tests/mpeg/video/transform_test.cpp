#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>

#include "mpeg/video/transform.h"
#include "mpeg/video/vlc_tables.h"

namespace quendrolix {
namespace {

TEST(ForwardDctTest, FastFormGivesTheReferenceResultBitForBit) {
  std::mt19937 random(1234);
  std::uniform_int_distribution<int> diff(-255, 255);
  std::uniform_int_distribution<int> small(-3, 3);
  for (int trial = 0; trial < 20000; ++trial) {
    int16_t a[64], b[64];
    int kind = trial % 5;
    for (int i = 0; i < 64; ++i) {
      int v = kind == 0   ? diff(random)
              : kind == 1 ? small(random)
              : kind == 2 ? (((i + trial) & 1) ? 255 : -255)  // extremes
              : kind == 3 ? (i < 8 ? diff(random) : 0)        // one row only
                          : 255 - (i * 7 + trial) % 256;
      a[i] = b[i] = static_cast<int16_t>(v);
    }
    ForwardDct(a);
    ForwardDctReference(b);
    ASSERT_EQ(0, std::memcmp(a, b, sizeof a)) << "trial " << trial;
  }
  int16_t zero[64] = {};
  ForwardDct(zero);
  for (int v : zero) EXPECT_EQ(v, 0);
}

TEST(ForwardDctTest, DcOfAFlatBlockIsEightTimesTheValue) {
  for (int v : {-255, -128, -1, 1, 100, 255}) {
    int16_t block[64];
    for (auto& x : block) x = static_cast<int16_t>(v);
    ForwardDct(block);
    EXPECT_EQ(block[0], 8 * v);
    for (int i = 1; i < 64; ++i) EXPECT_EQ(block[i], 0) << v << " at " << i;
  }
  EXPECT_DOUBLE_EQ(DctBasis(0, 3), std::sqrt(0.125));
  EXPECT_NEAR(DctBasis(1, 0), 0.5 * std::cos(M_PI / 16), 1e-15);
}

// The inverse transform by its definition, in double precision.
void InverseDctByDefinition(const int16_t* in, double* out) {
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) {
      double s = 0;
      for (int v = 0; v < 8; ++v)
        for (int u = 0; u < 8; ++u) s += DctBasis(v, y) * DctBasis(u, x) * in[8 * v + u];
      out[8 * y + x] = s;
    }
}

TEST(InverseDctTest, IntegerTransformStaysWithinOneOfTheDefinition) {
  // Random coefficient blocks in the manner of the usual accuracy test for 8x8 inverse
  // transforms: peak error at most 1, small mean errors.
  std::mt19937 random(99);
  for (int range : {256, 5, 300}) {
    std::uniform_int_distribution<int> pixel(-range, range - 1);
    double meanError[64] = {}, squareError[64] = {};
    int peak = 0;
    const int trials = 4000;
    for (int trial = 0; trial < trials; ++trial) {
      int16_t block[64];
      for (auto& v : block) v = static_cast<int16_t>(pixel(random));
      ForwardDctReference(block);  // a realistic block of coefficients
      for (auto& v : block) v = static_cast<int16_t>(std::clamp<int>(v, -2048, 2047));
      double exact[64];
      InverseDctByDefinition(block, exact);
      InverseDct(block);
      for (int i = 0; i < 64; ++i) {
        double reference = std::clamp(std::floor(exact[i] + 0.5), -256.0, 255.0);
        int error = block[i] - static_cast<int>(reference);
        peak = std::max(peak, std::abs(error));
        meanError[i] += error;
        squareError[i] += error * error;
      }
    }
    EXPECT_LE(peak, 1) << range;
    for (int i = 0; i < 64; ++i) {
      EXPECT_LE(std::fabs(meanError[i] / trials), 0.015) << range << " at " << i;
      EXPECT_LE(squareError[i] / trials, 0.06) << range << " at " << i;
    }
  }
}

TEST(InverseDctTest, ShortcutsForDcOnlyRowsAndColumns) {
  int16_t block[64] = {};
  block[0] = 8 * 100;  // a flat block of 100
  InverseDct(block);
  for (int v : block) EXPECT_EQ(v, 100);
  int16_t high[64] = {2047};  // the largest dequantised DC saturates the output
  InverseDct(high);
  for (int v : high) EXPECT_EQ(v, 255);
  int16_t zero[64] = {};
  InverseDct(zero);
  for (int v : zero) EXPECT_EQ(v, 0);
}

TEST(QuantisationTest, IntraRounding) {
  int16_t in[64] = {}, out[64];
  in[0] = 4;    // (4 + 4) / 8 = 1
  in[1] = 100;  // w 16: y = (3200 + 8) / 16 = 200; (200 + 6) / 16 = 12 with mquant 8
  in[8] = -100;
  in[63] = 2040;  // w 83: y = (65280 + 41) / 83 = 787; (787 + 2) / 4 = 197 with mquant 2
  in[2] = 3;      // w 19: y = (96 + 9) / 19 = 5; (5 + 6) / 16 = 0 with mquant 8 ...
  QuantIntra(in, out, 8);
  EXPECT_EQ(out[0], 1);
  EXPECT_EQ(out[2], 0);
  EXPECT_EQ(out[1], 12);
  EXPECT_EQ(out[8], -12);
  in[0] = -4;  // -((4 + 4) / 8) = -1
  QuantIntra(in, out, 2);
  EXPECT_EQ(out[0], -1);
  EXPECT_EQ(out[2], 1);  // ... but (5 + 2) / 4 = 1 with mquant 2
  EXPECT_EQ(out[63], 197);
  in[0] = 3;
  QuantIntra(in, out, 2);
  EXPECT_EQ(out[0], 0);
  int16_t big[64];
  for (auto& v : big) v = 2047;
  QuantIntra(big, out, 2);
  EXPECT_EQ(out[1], 255);  // (65503 + 8) / 16 = 4094; (4094 + 2) / 4 = 1024: limited to 255
}

TEST(QuantisationTest, NonIntraRoundsTowardZeroAndReportsCodedBlocks) {
  int16_t in[64] = {}, out[64];
  in[0] = 9;    // 2 x 9 / (2 x 10) = 0
  in[1] = 10;   // 1
  in[2] = -29;  // -2
  EXPECT_TRUE(QuantNonIntra(in, out, 10));
  EXPECT_EQ(out[0], 0);
  EXPECT_EQ(out[1], 1);
  EXPECT_EQ(out[2], -2);
  int16_t quiet[64] = {};
  quiet[5] = -9;
  EXPECT_FALSE(QuantNonIntra(quiet, out, 10));
  int16_t loud[64] = {};
  loud[3] = 2000;
  QuantNonIntra(loud, out, 2);
  EXPECT_EQ(out[3], 255);
}

TEST(QuantisationTest, DequantisationMakesOddValuesAndLimits) {
  int16_t in[64] = {}, out[64];
  in[0] = 100;   // DC x 8 = 800, left even
  in[1] = 3;     // 3 x 16 x 8 / 16 = 24: even, towards zero: 23
  in[8] = -3;    // -23
  in[9] = 1;     // 1 x 16 x 8 / 16 = 8 -> 7
  in[63] = 255;  // 255 x 83 x 62 / 16 = 82021: limited to 2047
  DequantIntra(in, out, 8);
  EXPECT_EQ(out[0], 800);
  EXPECT_EQ(out[1], 23);
  EXPECT_EQ(out[8], -23);
  EXPECT_EQ(out[9], 7);
  DequantIntra(in, out, 62);
  EXPECT_EQ(out[63], 2047);

  int16_t nin[64] = {}, nout[64];
  nin[0] = 1;   // (2 + 1) x 16 x 8 / 32 = 12 -> 11
  nin[1] = -1;  // -11
  nin[2] = 2;   // 5 x 16 x 8 / 32 = 20 -> 19
  nin[3] = 1;
  nin[4] = -255;  // limited to -2048
  DequantNonIntra(nin, nout, 8);
  EXPECT_EQ(nout[0], 11);
  EXPECT_EQ(nout[1], -11);
  EXPECT_EQ(nout[2], 19);
  EXPECT_EQ(nout[5], 0);
  DequantNonIntra(nin, nout, 3 * 2);
  EXPECT_EQ(nout[3], 9);  // 3 x 16 x 6 / 32 = 9: odd, kept
  DequantNonIntra(nin, nout, 62);
  EXPECT_EQ(nout[4], -2048);
}

TEST(QuantisationTest, ZigzagVisitsEveryPositionOnce) {
  bool seen[64] = {};
  for (int i = 0; i < 64; ++i) {
    ASSERT_LT(kZigzag[i], 64);
    EXPECT_FALSE(seen[kZigzag[i]]);
    seen[kZigzag[i]] = true;
  }
  // Neighbouring scan positions are neighbours in the block.
  for (int i = 1; i < 64; ++i) {
    int a = kZigzag[i - 1], b = kZigzag[i];
    EXPECT_LE(std::abs(a % 8 - b % 8), 1);
    EXPECT_LE(std::abs(a / 8 - b / 8), 1);
  }
}

}  // namespace
}  // namespace quendrolix

namespace quendrolix {
namespace {

TEST(QuantisationTest, NonIntraFastPathMatchesPlainDivisionEverywhere) {
  for (int mquant = 2; mquant <= 62; mquant += 2) {
    for (int base = -32768; base < 32768; base += 64) {
      int16_t in[64], out[64];
      for (int i = 0; i < 64; ++i) in[i] = static_cast<int16_t>(base + i);
      QuantNonIntra(in, out, mquant);
      for (int i = 0; i < 64; ++i) {
        int x = in[i];
        int y = std::min(255, (32 * std::abs(x) + 8) / 16 / (2 * mquant));
        ASSERT_EQ(out[i], x < 0 ? -y : y) << x << " / " << mquant;
      }
    }
  }
  int16_t extreme[64] = {-32768, 32767};
  int16_t out[64];
  EXPECT_TRUE(QuantNonIntra(extreme, out, 62));
  EXPECT_EQ(out[0], -255);
  EXPECT_EQ(out[1], 255);
}

}  // namespace
}  // namespace quendrolix
