#include "mpeg/audio/analysis_filter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>

#include "mpeg/audio/audio_tables.h"

namespace quendrolix::mp2 {
namespace {

// The filter bank as written down: circular store, window, eight-fold folding, matrix.
class PlainFilterBank {
 public:
  void WindowAndFilter(const int16_t* samples, double* out) {
    for (int i = 0; i < 32; ++i) x_[(offset_ + 31 - i) % 512] = samples[i] / 32768.0;
    double z[512], y[64];
    for (int i = 0; i < 512; ++i) z[i] = x_[(offset_ + i) % 512] * kAnalysisWindow[i];
    offset_ = (offset_ + 512 - 32) % 512;
    for (int i = 0; i < 64; ++i) {
      y[i] = 0.0;
      for (int j = 0; j < 8; ++j) y[i] += z[i + 64 * j];
    }
    for (int k = 0; k < 32; ++k) {
      out[k] = 0.0;
      for (int i = 0; i < 64; ++i) out[k] += AnalysisFilterBank::MatrixCoefficient(k, i) * y[i];
    }
  }

 private:
  double x_[512] = {};
  int offset_ = 0;
};

TEST(AnalysisFilterTest, GivesTheSameBitsAsThePlainFormula) {
  AnalysisFilterBank bank;
  PlainFilterBank plain[2];
  std::mt19937 random(3);
  // Past a full turn of the circular store, both channels, full-scale extremes included.
  for (int step = 0; step < 40; ++step)
    for (int ch = 0; ch < 2; ++ch) {
      int16_t samples[32];
      for (int16_t& s : samples)
        s = step % 7 == 3 ? (random() & 1 ? 32767 : -32768) : static_cast<int16_t>(random());
      double got[32], expected[32];
      bank.WindowAndFilter(ch, samples, got);
      plain[ch].WindowAndFilter(samples, expected);
      for (int k = 0; k < 32; ++k) ASSERT_EQ(got[k], expected[k]) << step << " " << ch << " " << k;
    }
  EXPECT_EQ(bank.offset(0), (512 - 40 * 32 % 512) % 512);
}

TEST(AnalysisFilterTest, AToneLandsInItsSubband) {
  for (int band : {0, 5, 17, 31}) {
    AnalysisFilterBank bank;
    const double hz = (band + 0.5) * 22050.0 / 32;
    double energy[32] = {};
    for (int step = 0; step < 64; ++step) {
      int16_t samples[32];
      for (int i = 0; i < 32; ++i)
        samples[i] = static_cast<int16_t>(
            16000 * std::sin(2 * std::numbers::pi * hz * (step * 32 + i) / 44100.0));
      double out[32];
      bank.WindowAndFilter(0, samples, out);
      if (step >= 16)
        for (int k = 0; k < 32; ++k) energy[k] += out[k] * out[k];
    }
    for (int k = 0; k < 32; ++k) {
      if (k != band) {
        EXPECT_LT(energy[k], energy[band] * 1e-3) << band << " leaks into " << k;
      }
    }
  }
}

}  // namespace
}  // namespace quendrolix::mp2
