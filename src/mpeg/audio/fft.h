#pragma once

#include <array>

namespace quendrolix::mp2 {

// The discrete Fourier transform of 1024 real samples, unscaled:
// X[k] = sum over n of x[n] e^(-2 pi i k n / 1024), for k = 0..512 (the other half is the
// mirror image). Computed as a 512-point complex transform of the even and odd samples
// followed by the usual split; twiddle factors are exact double-precision cosines.
class RealFft1024 {
 public:
  static constexpr int kSize = 1024;
  static constexpr int kLines = kSize / 2 + 1;

  RealFft1024();
  // `input` 1024 samples; `re` and `im` receive lines 0..512.
  void Transform(const double* input, double* re, double* im);

 private:
  static constexpr int kHalf = kSize / 2;
  std::array<int, kHalf> bitReverse_{};
  // Twiddles of every stage of the 512-point transform, stage after stage.
  std::array<double, kHalf> stageCos_{}, stageSin_{};
  // e^(-2 pi i k / 1024) for the split, k = 0..511.
  std::array<double, kHalf> splitCos_{}, splitSin_{};
  std::array<double, kHalf> workRe_{}, workIm_{};
};

}  // namespace quendrolix::mp2
