#pragma once

#include <array>
#include <cstdint>

namespace quendrolix::mp2 {

// The polyphase analysis filter bank of layer II. The two circular window stores and
// their offsets live for the whole program run (they are part of the encoder's kept
// state): a later conversion starts with the tail of the previous one's input.
class AnalysisFilterBank {
 public:
  static constexpr int kSubbands = 32;

  // Windows the next 32 samples of `channel` and filters them into 32 subband samples.
  void WindowAndFilter(int channel, const int16_t* samples, double* subbands);

  // The stores and offsets as at program start.
  void Reset();
  int offset(int channel) const { return offset_[channel]; }

  // M[k][i] = cos((2k + 1)(16 - i) pi / 64) rounded to nine decimal places.
  static double MatrixCoefficient(int k, int i);

 private:
  std::array<std::array<double, 512>, 2> store_{};
  std::array<int, 2> offset_{};
};

}  // namespace quendrolix::mp2
