#include "mpeg/video/vbv_analysis.h"

#include <algorithm>
#include <cmath>

namespace quendrolix {
namespace {

constexpr double kUnitBits = 16384.0;

int Units(double bits) {
  return std::clamp(static_cast<int>(std::ceil(bits / kUnitBits)), 1, kMaxVbvBufferSize);
}

// The end of picture k's data: where the next one begins, or the end of the stream.
uint64_t EndOf(const std::vector<CodedPictureBits>& pictures, size_t k, uint64_t endBits) {
  return k + 1 < pictures.size() ? pictures[k + 1].start : endBits;
}

// Whether a buffer of `size` bits fed at the rate while it has room gets every picture
// in time, the first decoded as soon as it has arrived.
bool VariableRateFits(const std::vector<CodedPictureBits>& pictures, uint64_t endBits,
                      double bitRate, double period, double size, double& startup) {
  double delivered = static_cast<double>(EndOf(pictures, 0, endBits));
  if (delivered > size) return false;
  startup = delivered / bitRate;
  double removed = 0;
  for (size_t k = 0; k < pictures.size(); ++k) {
    const double end = static_cast<double>(EndOf(pictures, k, endBits));
    if (delivered + 0.5 < end) return false;
    removed = end;
    delivered =
        std::min({delivered + bitRate * period, removed + size, static_cast<double>(endBits)});
  }
  return true;
}

}  // namespace

VbvOutcome AnalyseVbv(const std::vector<CodedPictureBits>& pictures, uint64_t endBits,
                      double bitRate, double frameRate, bool variableOnly) {
  VbvOutcome out;
  if (pictures.empty() || bitRate <= 0 || frameRate <= 0) return out;
  const double period = 1.0 / frameRate;
  const size_t n = pictures.size();

  if (!variableOnly) {
    // Constant rate: bit b arrives at b / rate; picture k leaves at t0 + k periods, and
    // t0 is the earliest at which no picture is late.
    double t0 = 0;
    for (size_t k = 0; k < n; ++k)
      t0 = std::max(t0, static_cast<double>(EndOf(pictures, k, endBits)) / bitRate - k * period);
    double most = 0;
    bool fits = true;
    std::vector<int> delays(n);
    for (size_t k = 0; k < n; ++k) {
      const double t = t0 + k * period;
      const double held = std::min(bitRate * t, static_cast<double>(endBits)) -
                          static_cast<double>(pictures[k].start);
      most = std::max(most, held);
      const double delay = (t - pictures[k].startCodeEnd / bitRate) * 90000.0;
      if (delay > 65534.0) fits = false;
      delays[k] = static_cast<int>(std::max(0.0, std::floor(delay)));
    }
    if (fits && most <= kMaxVbvBufferSize * kUnitBits) {
      out.constantRate = true;
      out.vbvDelays = std::move(delays);
      // A hair below: products of the rate and the times are not exact in binary.
      out.bufferBits = static_cast<uint64_t>(std::ceil(most - 1e-6));
      out.bufferSize = Units(static_cast<double>(out.bufferBits));
      out.startupSeconds = t0;
      return out;
    }
  }

  // Variable rate: the smallest buffer (whole units) that never runs dry.
  out.vbvDelays.assign(n, kVariableVbvDelay);
  int low = 1, high = kMaxVbvBufferSize;
  double startup = 0;
  if (!VariableRateFits(pictures, endBits, bitRate, period, high * kUnitBits, startup)) {
    out.bufferSize = kMaxVbvBufferSize;  // as much as the field can say
  } else {
    while (low < high) {
      int mid = (low + high) / 2;
      if (VariableRateFits(pictures, endBits, bitRate, period, mid * kUnitBits, startup))
        high = mid;
      else
        low = mid + 1;
    }
    out.bufferSize = low;
  }
  VariableRateFits(pictures, endBits, bitRate, period, out.bufferSize * kUnitBits, startup);
  out.startupSeconds = startup;
  uint64_t largest = 0;
  for (size_t k = 0; k < n; ++k)
    largest = std::max(largest, EndOf(pictures, k, endBits) - pictures[k].start);
  out.bufferBits = std::max<uint64_t>(largest, static_cast<uint64_t>(out.bufferSize * kUnitBits));
  return out;
}

}  // namespace quendrolix
