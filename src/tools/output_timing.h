#pragma once

// The project's timing carried to an output of another frame rate: picture i is on
// screen for counts[i] / project rate seconds, whatever the output's own rate. Every
// picture boundary is placed at the output frame nearest to its true time, so the
// rounding of one picture is carried into the next and nothing drifts.

#include <cstdint>
#include <vector>

namespace quendrolix {

// A frame rate as a fraction (24000/1001 for 23.976).
struct FrameRate {
  uint32_t numerator = 10;
  uint32_t denominator = 1;
  double Value() const { return denominator ? static_cast<double>(numerator) / denominator : 0.0; }
};

// The counts of `counts` (frames at `from`) as counts of frames at `to`: each picture
// ends on the output frame nearest to its end in time, and lasts at least one frame (a
// picture too short for one output frame takes one and the next gives it back).
// Counts below 1 are taken as 1.
std::vector<int> RetimeCounts(const std::vector<int>& counts, FrameRate from, FrameRate to);

// The counts scaled in proportion so that they add up to `total` frames, each at least
// one, rounding carried (the total is then max(total, number of pictures)).
std::vector<int> ScaleCounts(const std::vector<int>& counts, uint64_t total);

// The sum of the counts (each below 1 taken as 1).
uint64_t TotalFrames(const std::vector<int>& counts);

// Whole output frames nearest to `seconds` at `rate`.
uint64_t FramesForSeconds(double seconds, FrameRate rate);

}  // namespace quendrolix
