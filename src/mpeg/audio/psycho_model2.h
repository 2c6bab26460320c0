#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "mpeg/audio/fft.h"

namespace quendrolix::mp2 {

// Psychoacoustic model 2 as the layer II encoder runs it: two passes of 576 new samples
// over a 1056-sample history per frame and channel, a 1024-point spectrum, unpredictability
// from the two spectra before, spreading over partitions a third of a bark wide,
// tonality-dependent masking and the absolute threshold at 44.1 kHz.
//
// The constant data is built on the first call and kept for the program run. So is the
// unpredictability history (magnitude and phase of the last two spectra of each channel)
// and the age toggle that both channels share: they carry over from one frame to the
// next and from one conversion to the next.
class PsychoModel2 {
 public:
  static constexpr int kLines = 513;
  static constexpr int kMaxPartitions = 63;
  static constexpr int kHistory = 1056;
  static constexpr int kNewPerPass = 576;

  PsychoModel2();
  ~PsychoModel2();

  // The 32 signal-to-mask ratios (dB) of one channel's 1152 new samples. `history` is the
  // channel's 1056-sample block, owned by the encoder and zeroed at the start of each
  // conversion. A layer other than II logs and leaves `smr` as it was; a sampling
  // frequency other than 44100 Hz aborts the conversion (CFileException).
  void AnalyseMasking(const int16_t* samples, double* history, int channel, int layer,
                      double samplingFrequency, double* smr);

  // The history as at program start: magnitudes and phases of zero, the ages at their
  // first values.
  void Reset();

  // What was built, for tests.
  struct Layout {
    int partitions = 0;
    std::array<int, kLines> partitionOfLine{};
    std::array<double, kMaxPartitions> cbval{}, tmn{}, rnorm{};
    std::array<int, kMaxPartitions> numlines{};
    std::vector<double> spreading;  // s[j][k] at j * kMaxPartitions + k
  };
  const Layout& layout();  // builds on first use
  // The unpredictability per line of pass 0 or 1 of the last call, for tests.
  const std::array<double, kLines>& unpredictability(int pass) const { return c_[pass]; }
  int ageNew() const { return new_; }
  int ageOld() const { return old_; }
  int ageOldest() const { return oldest_; }

 private:
  struct SpreadEntry {
    int k;
    double s;
  };

  void Build();
  // 10^(-bc/10) for partition j at unpredictability cb.
  double MaskingRatio(int j, double cb) const;
  void Pass(int pass, double* history, const int16_t* newSamples, int channel, double* smr);

  bool built_ = false;
  Layout layout_;
  std::array<double, 1024> window_{};
  std::array<double, kLines> absthr_{};
  std::array<double, kMaxPartitions> bmaxOfPartition_{};
  std::array<double, kMaxPartitions> noiseRatio_{}, toneRatio_{};  // at the clamps
  // Non-zero spreading entries of each row j, in ascending k.
  std::vector<SpreadEntry> spreadEntries_;
  std::array<int, kMaxPartitions + 1> spreadRowStart_{};

  // Unpredictability history: magnitude and the phase as a unit vector, by channel and age.
  std::array<std::array<std::array<double, kLines>, 2>, 2> r_{}, cosPhi_{}, sinPhi_{};
  int new_ = 0, old_ = 1, oldest_ = 0;

  // Working buffers kept between calls.
  RealFft1024 fft_;
  std::array<double, 1024> wsamp_{};
  std::array<double, kLines> re_{}, im_{}, energy_{}, thr_{};
  std::array<std::array<double, kLines>, 2> c_{};
  std::array<double, kMaxPartitions> groupedE_{}, groupedC_{}, ecb_{}, nb_{};
};

}  // namespace quendrolix::mp2
