// Counts carried from the project's rate to an output's rate, and scaled to a length.

#include "tools/output_timing.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

namespace quendrolix {
namespace {

// The end of every picture in seconds.
std::vector<double> Ends(const std::vector<int>& counts, double rate) {
  std::vector<double> ends;
  double frames = 0;
  for (int c : counts) ends.push_back((frames += c) / rate);
  return ends;
}

TEST(OutputTimingTest, RetimedPicturesEndWithinHalfAnOutputFrameAndNeverDrift) {
  struct Case {
    FrameRate from, to;
  };
  const std::vector<int> counts = {2, 7, 25, 3, 100, 2, 2, 2, 90000, 2, 13};
  for (const Case& c : {Case{{25, 1}, {24000, 1001}}, Case{{10, 1}, {30000, 1001}},
                        Case{{24, 1}, {25, 1}}, Case{{30, 1}, {100, 1}}, Case{{1, 1}, {10, 1}},
                        Case{{60, 1}, {30, 1}}, Case{{50, 1}, {25, 1}}}) {
    SCOPED_TRACE(testing::Message() << c.from.Value() << " -> " << c.to.Value());
    const std::vector<int> out = RetimeCounts(counts, c.from, c.to);
    ASSERT_EQ(out.size(), counts.size());
    const std::vector<double> want = Ends(counts, c.from.Value());
    const std::vector<double> got = Ends(out, c.to.Value());
    for (size_t i = 0; i < out.size(); ++i) {
      EXPECT_GE(out[i], 1);
      EXPECT_LE(std::abs(got[i] - want[i]), 0.5 / c.to.Value() + 1e-9) << "picture " << i;
    }
  }
}

TEST(OutputTimingTest, SameRateKeepsCountsAndBadValuesAreSafe) {
  const std::vector<int> counts = {3, 0, -4, 5};
  EXPECT_EQ(RetimeCounts(counts, {25, 1}, {25, 1}), (std::vector<int>{3, 1, 1, 5}));
  EXPECT_EQ(RetimeCounts(counts, {0, 1}, {25, 1}), (std::vector<int>{3, 1, 1, 5}));
  EXPECT_EQ(RetimeCounts({}, {25, 1}, {30, 1}), std::vector<int>{});
  // Pictures shorter than an output frame still get one; the ones after give it back.
  EXPECT_EQ(RetimeCounts({1, 1, 1, 9}, {60, 1}, {30, 1}), (std::vector<int>{1, 1, 1, 3}));
  // Counts near the largest int do not overflow the arithmetic.
  const std::vector<int> huge = RetimeCounts({0x7FFFFFFF, 0x7FFFFFFF}, {1, 1}, {1, 1});
  EXPECT_EQ(huge, (std::vector<int>{0x7FFFFFFF, 0x7FFFFFFF}));
  EXPECT_EQ(TotalFrames(counts), 10u);
  EXPECT_EQ(FramesForSeconds(1.5, {24000, 1001}), 36u);
  EXPECT_EQ(FramesForSeconds(-1, {25, 1}), 0u);
}

TEST(OutputTimingTest, ScaledCountsKeepProportionsReachTheTotalAndStayPositive) {
  const std::vector<int> counts = {10, 20, 30, 40};
  const std::vector<int> doubled = ScaleCounts(counts, 200);
  EXPECT_EQ(doubled, (std::vector<int>{20, 40, 60, 80}));
  const std::vector<int> odd = ScaleCounts(counts, 101);
  EXPECT_EQ(TotalFrames(odd), 101u);
  for (size_t i = 0; i < odd.size(); ++i) EXPECT_NEAR(odd[i], counts[i] * 1.01, 1.0);
  // Shrunk below one frame a picture: each keeps one, the total as close as it can be.
  const std::vector<int> tiny = ScaleCounts({1, 1, 1, 97}, 10);
  for (int c : tiny) EXPECT_GE(c, 1);
  EXPECT_EQ(TotalFrames(tiny), 10u);
  const std::vector<int> fewer = ScaleCounts({5, 5, 5}, 1);
  EXPECT_EQ(fewer, (std::vector<int>{1, 1, 1}));
}

}  // namespace
}  // namespace quendrolix
