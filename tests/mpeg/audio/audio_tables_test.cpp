#include "mpeg/audio/audio_tables.h"

#include <gtest/gtest.h>

#include <cmath>
#include <iterator>
#include <set>

#include "mpeg/audio/analysis_filter.h"

namespace quendrolix::mp2 {
namespace {

TEST(AudioTablesTest, AllocationTablesHaveThePublishedShape) {
  EXPECT_EQ(std::size(kAllocRowsB2a), 288u);
  EXPECT_EQ(std::size(kAllocRowsB2b), 300u);
  EXPECT_EQ(std::size(kAllocRowsB2c), 80u);
  struct Expect {
    AllocTableNumber number;
    int sblimit;
    // nbal of subband 0, of the last subband
    unsigned firstNbal, lastNbal;
  };
  for (const Expect& e :
       {Expect{kTableB2a, 27, 4, 2}, Expect{kTableB2b, 30, 4, 2}, Expect{kTableB2c, 8, 4, 3}}) {
    SCOPED_TRACE(e.number);
    const AllocTable& t = HeldAllocTable(e.number);
    EXPECT_EQ(t.sblimit, e.sblimit);
    EXPECT_EQ(t.rows[0][0].bits, e.firstNbal);
    EXPECT_EQ(t.rows[e.sblimit - 1][0].bits, e.lastNbal);
    for (int sb = 0; sb < t.sblimit; ++sb) {
      const unsigned nbal = t.rows[sb][0].bits;
      ASSERT_GE(nbal, 2u);
      // Every index an allocation field can carry is a real row with more steps than the
      // one before, and the code word is wide enough for its steps.
      for (unsigned i = 1; i < (1u << nbal); ++i) {
        const AllocEntry& row = t.rows[sb][i];
        ASSERT_GT(row.steps, i > 1 ? t.rows[sb][i - 1].steps : 0u) << sb << " " << i;
        ASSERT_TRUE(row.group == 1 || row.group == 3);
        const unsigned long long codes =
            row.group == 3 ? row.steps : 1ull * row.steps * row.steps * row.steps;
        EXPECT_LE(codes, 1ull << row.bits);
        EXPECT_LT(row.quant, static_cast<unsigned>(kQuantClasses));
      }
    }
    for (int sb = t.sblimit; sb < 32; ++sb) EXPECT_EQ(t.rows[sb][0].bits, 0u);
  }
}

TEST(AudioTablesTest, AbsoluteThresholdAndWindowAreThePublishedOnes) {
  EXPECT_EQ(std::size(kAbsoluteThreshold44100), 513u);
  EXPECT_EQ(kAbsoluteThreshold44100[0], 488357088.0);
  EXPECT_EQ(kAbsoluteThreshold44100[1], 5898447.0);
  EXPECT_EQ(kAbsoluteThreshold44100[2], 1131716.5);
  EXPECT_NEAR(kAbsoluteThreshold44100[512], 6.077676519e13, 1e4);

  EXPECT_EQ(std::size(kAnalysisWindow), 512u);
  EXPECT_EQ(kAnalysisWindow[0], 0.0);
  EXPECT_EQ(kAnalysisWindow[1], -0.000000477);
  EXPECT_EQ(kAnalysisWindow[256], 0.035780907);  // the peak
  // The window is even about its middle on multiples of 64 and odd elsewhere.
  for (int i = 1; i < 512; ++i) {
    const double mirror = kAnalysisWindow[512 - i];
    if (i % 64 == 0)
      EXPECT_EQ(kAnalysisWindow[i], mirror) << i;
    else
      EXPECT_EQ(kAnalysisWindow[i], -mirror) << i;
  }
}

TEST(AudioTablesTest, DerivedTablesMatchTheStandardsValues) {
  const auto& sf = ScaleFactorValues();
  EXPECT_EQ(sf[0], 2.0);
  EXPECT_NEAR(sf[1], 1.587401052, 1e-9);
  EXPECT_NEAR(sf[2], 1.25992105, 1e-8);
  EXPECT_EQ(sf[3], 1.0);
  EXPECT_NEAR(sf[62], 0.00000120155435, 1e-14);
  for (int j = 1; j < 63; ++j) EXPECT_LT(sf[j], sf[j - 1]);
  EXPECT_EQ(sf[63], 1e-20);

  const auto& q = QuantClasses();
  const double a[] = {0.75, 0.625, 0.875, 0.5625, 0.9375, 0.96875};
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(q[i].a, a[i]) << i;
    EXPECT_EQ(q[i].b, a[i] - 1.0) << i;
  }
  EXPECT_NEAR(q[16].a, 0.999984741, 1e-9);
  EXPECT_NEAR(q[16].b, -0.000015259, 1e-9);
  EXPECT_EQ(q[0].steps, 3u);
  EXPECT_EQ(q[3].steps, 9u);
  EXPECT_EQ(q[16].steps, 65535u);
  EXPECT_EQ(q[16].n, 15);

  // The filter matrix: cosines rounded to nine decimals.
  EXPECT_EQ(AnalysisFilterBank::MatrixCoefficient(0, 16), 1.0);
  EXPECT_EQ(AnalysisFilterBank::MatrixCoefficient(0, 0), 0.707106781);
  EXPECT_EQ(AnalysisFilterBank::MatrixCoefficient(31, 0), 0.707106781);
  EXPECT_EQ(AnalysisFilterBank::MatrixCoefficient(1, 0), -0.707106781);
}

}  // namespace
}  // namespace quendrolix::mp2
