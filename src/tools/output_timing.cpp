#include "tools/output_timing.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace quendrolix {
namespace {

// Counts are ints everywhere the builders take them.
int ClampCount(uint64_t frames) {
  return static_cast<int>(std::min<uint64_t>(frames, std::numeric_limits<int>::max()));
}

}  // namespace

uint64_t TotalFrames(const std::vector<int>& counts) {
  uint64_t total = 0;
  for (int count : counts) total += static_cast<uint64_t>(std::max(count, 1));
  return total;
}

uint64_t FramesForSeconds(double seconds, FrameRate rate) {
  if (!(seconds > 0) || rate.denominator == 0) return 0;
  return static_cast<uint64_t>(std::llround(seconds * rate.Value()));
}

std::vector<int> RetimeCounts(const std::vector<int>& counts, FrameRate from, FrameRate to) {
  std::vector<int> out;
  out.reserve(counts.size());
  if (from.numerator == 0 || from.denominator == 0 || to.numerator == 0 || to.denominator == 0) {
    for (int count : counts) out.push_back(std::max(count, 1));
    return out;
  }
  // End of picture i in output frames = round(T * to / from) with T in project frames,
  // worked in integers: T * to.num * from.den / (to.den * from.num).
  const unsigned __int128 scaleUp = static_cast<unsigned __int128>(to.numerator) * from.denominator;
  const unsigned __int128 scaleDown =
      static_cast<unsigned __int128>(to.denominator) * from.numerator;
  uint64_t projectEnd = 0, placed = 0;
  for (int count : counts) {
    projectEnd += static_cast<uint64_t>(std::max(count, 1));
    const unsigned __int128 scaled = projectEnd * scaleUp;
    uint64_t end = static_cast<uint64_t>((scaled + scaleDown / 2) / scaleDown);
    end = std::max(end, placed + 1);
    out.push_back(ClampCount(end - placed));
    placed = end;
  }
  return out;
}

std::vector<int> ScaleCounts(const std::vector<int>& counts, uint64_t total) {
  std::vector<int> out;
  out.reserve(counts.size());
  const uint64_t source = TotalFrames(counts);
  if (source == 0) return out;
  uint64_t sourceEnd = 0, placed = 0;
  for (int count : counts) {
    sourceEnd += static_cast<uint64_t>(std::max(count, 1));
    const unsigned __int128 scaled = static_cast<unsigned __int128>(sourceEnd) * total;
    uint64_t end = static_cast<uint64_t>((scaled + source / 2) / source);
    end = std::max(end, placed + 1);
    out.push_back(ClampCount(end - placed));
    placed = end;
  }
  return out;
}

}  // namespace quendrolix
