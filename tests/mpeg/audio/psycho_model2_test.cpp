#include "mpeg/audio/psycho_model2.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>

#include "mpeg/audio/audio_tables.h"
#include "mpeg/audio/fft.h"
#include "platform/host/conversion_log.h"
#include "platform/host/file_exception.h"
#include "support/mpeg_audio_fixtures.h"

namespace quendrolix::mp2 {
namespace {
using quendrolix::testing::MakeSignal;
using quendrolix::testing::Signal;

TEST(RealFftTest, MatchesTheDefinitionOfTheTransform) {
  std::mt19937 random(5);
  std::uniform_real_distribution<double> u(-32768.0, 32767.0);
  std::vector<double> x(1024);
  for (double& v : x) v = u(random);
  x[3] = 1e-3;  // small next to large values still counts
  RealFft1024 fft;
  std::vector<double> re(513), im(513);
  fft.Transform(x.data(), re.data(), im.data());
  double worst = 0.0;
  for (int k = 0; k <= 512; ++k) {
    long double sr = 0, si = 0;
    for (int n = 0; n < 1024; ++n) {
      const long double a = -2.0L * std::numbers::pi_v<long double> * k * n / 1024.0L;
      sr += x[n] * std::cos(a);
      si += x[n] * std::sin(a);
    }
    worst = std::max({worst, std::fabs(static_cast<double>(sr) - re[k]),
                      std::fabs(static_cast<double>(si) - im[k])});
  }
  // Unscaled: the values reach some 1e6; the error stays at rounding level.
  EXPECT_LT(worst, 1e-7);
}

TEST(PsychoModel2Test, PartitionsAreAThirdOfABarkWide) {
  PsychoModel2 model;
  const auto& l = model.layout();
  EXPECT_EQ(l.partitions, 63);
  int lines = 0;
  for (int j = 0; j < l.partitions; ++j) lines += l.numlines[j];
  EXPECT_EQ(lines, 513);
  // Below 500 Hz a line (43 Hz) is more than 0.33 bark wide, so each line stands alone.
  for (int i = 0; i < 15; ++i) {
    EXPECT_EQ(l.partitionOfLine[i], i);
    EXPECT_EQ(l.numlines[i], 1);
  }
  EXPECT_EQ(l.cbval[0], 0.0);
  EXPECT_NEAR(l.cbval[1], 44100.0 / 1024 / 100, 1e-12);
  for (int i = 1; i < 513; ++i) {
    EXPECT_GE(l.partitionOfLine[i], l.partitionOfLine[i - 1]);
    EXPECT_LE(l.partitionOfLine[i], l.partitionOfLine[i - 1] + 1);
  }
  for (int j = 1; j < l.partitions; ++j) EXPECT_GT(l.cbval[j], l.cbval[j - 1]);
  EXPECT_LT(l.cbval[62], 25.0);
  EXPECT_EQ(l.tmn[0], 24.5);
  EXPECT_NEAR(l.tmn[62], 15.5 + l.cbval[62], 1e-12);
}

TEST(PsychoModel2Test, SpreadingPeaksAtTheMaskerAndVanishesFarAway) {
  PsychoModel2 model;
  const auto& l = model.layout();
  auto s = [&](int j, int k) { return l.spreading[j * PsychoModel2::kMaxPartitions + k]; };
  int zeros = 0;
  for (int j = 0; j < l.partitions; ++j) {
    // Zero distance is 0 dB.
    EXPECT_NEAR(s(j, j), 1.0, 1e-4);
    double sum = 0.0;
    for (int k = 0; k < l.partitions; ++k) {
      sum += s(j, k);
      zeros += s(j, k) == 0.0;
      EXPECT_LE(s(j, k), s(j, j) * 1.0001);  // nothing spreads more than the masker itself
    }
    EXPECT_DOUBLE_EQ(l.rnorm[j], sum);
  }
  EXPECT_GT(zeros, 1000);  // far partitions do not mask at all
  // One bark of distance: the formula's values (-10.3 dB upward, -7.9 dB downward).
  const int a = 20, b = 26;  // partitions about one bark apart
  const double x = (l.cbval[b] - l.cbval[a]) * 1.05;
  const double y = 15.811389 + 7.5 * (x + 0.474) - 17.5 * std::sqrt(1 + (x + 0.474) * (x + 0.474));
  const double t = x >= 0.5 && x <= 2.5 ? 8 * ((x - 0.5) * (x - 0.5) - 2 * (x - 0.5)) : 0.0;
  EXPECT_NEAR(10 * std::log10(s(b, a)), t + y, 1e-9);
}

// A plain rendering of the model's pass, with angles and a direct transform, to hold the
// fast one to.
class ReferenceModel {
 public:
  explicit ReferenceModel(const PsychoModel2::Layout& l) : l_(l) {
    for (int n = 0; n < 1024; ++n) {
      window_[n] = 0.5 * (1.0 - std::cos(2.0 * std::numbers::pi * (n - 0.5) / 1024.0));
      const long double a = -2.0L * std::numbers::pi_v<long double> * n / 1024.0L;
      cos_[n] = std::cos(a);
      sin_[n] = std::sin(a);
    }
  }
  void Analyse(const int16_t* samples, double* history, int ch, double* smr) {
    double out[2][32];
    for (int pass = 0; pass < 2; ++pass) {
      for (int j = 0; j < 480; ++j) history[j] = history[j + 576];
      for (int j = 480; j < 1056; ++j) history[j] = samples[pass * 576 + j - 480];
      std::vector<double> energy(513), phase(513), c(513);
      for (int k = 0; k <= 512; ++k) {
        long double re = 0, im = 0;
        for (int n = 0; n < 1024; ++n) {
          const double x = window_[n] * history[n];
          re += x * cos_[(k * n) % 1024];
          im += x * sin_[(k * n) % 1024];
        }
        energy[k] = static_cast<double>(re * re + im * im);
        phase[k] = std::atan2(static_cast<double>(im), static_cast<double>(re));
        if (k < 512 && energy[k] <= 0.0005) energy[k] = 0.0005, phase[k] = 0.0;
        if (energy[k] == 0.0) phase[k] = 0.0;
      }
      if (new_ == 0) {
        new_ = oldest_ = 1;
      } else {
        new_ = oldest_ = 0;
      }
      old_ = 1 - old_;
      for (int k = 0; k <= 512; ++k) {
        const double rp = 2.0 * r_[ch][old_][k] - r_[ch][oldest_][k];
        const double pp = 2.0 * phi_[ch][old_][k] - phi_[ch][oldest_][k];
        const double r = std::sqrt(energy[k]);
        r_[ch][new_][k] = r;
        phi_[ch][new_][k] = phase[k];
        const double dx = r * std::cos(phase[k]) - rp * std::cos(pp);
        const double dy = r * std::sin(phase[k]) - rp * std::sin(pp);
        const double den = r + std::fabs(rp);
        c[k] = den != 0.0 ? std::sqrt(dx * dx + dy * dy) / den : 0.0;
      }
      double e[63] = {}, ce[63] = {}, nb[63] = {};
      for (int k = 0; k <= 512; ++k) {
        e[l_.partitionOfLine[k]] += energy[k];
        ce[l_.partitionOfLine[k]] += energy[k] * c[k];
      }
      static const double bmax[27] = {20,  20,  20,  20,  20,  17,  15,  10,  7,
                                      4.4, 4.5, 4.5, 4.5, 4.5, 4.5, 4.5, 4.5, 4.5,
                                      4.5, 4.5, 4.5, 4.5, 4.5, 4.5, 3.5, 3.5, 3.5};
      for (int j = 0; j < 63; ++j) {
        double ecb = 0, ct = 0;
        for (int k = 0; k < 63; ++k) {
          ecb += l_.spreading[j * 63 + k] * e[k];
          ct += l_.spreading[j * 63 + k] * ce[k];
        }
        const double cb = std::clamp(ecb != 0 ? ct / ecb : 0.0, 0.05, 0.5);
        const double tb = -0.434294482 * std::log(cb) - 0.301029996;
        const double bc = std::max(l_.tmn[j] * tb + 5.5 * (1 - tb),
                                   bmax[static_cast<int>(std::lround(l_.cbval[j]))]);
        nb[j] = ecb * std::pow(10.0, -bc / 10) / (l_.rnorm[j] * l_.numlines[j]);
      }
      for (int sb = 0; sb < 32; ++sb) {
        double sum = 0, minThr = 60802371420160.0, sumThr = 0;
        for (int i = 16 * sb; i <= 16 * sb + 16; ++i) {
          const double thr = std::max(nb[l_.partitionOfLine[i]], kAbsoluteThreshold44100[i]);
          sum += energy[i];
          minThr = std::min(minThr, thr);
          sumThr += thr;
        }
        out[pass][sb] = 10 * std::log10(sb < 13 ? sum / (17 * minThr) : sum / sumThr);
      }
    }
    for (int sb = 0; sb < 32; ++sb) smr[sb] = std::max(out[0][sb], out[1][sb]);
  }

 private:
  const PsychoModel2::Layout& l_;
  double window_[1024];
  long double cos_[1024], sin_[1024];
  double r_[2][2][513] = {}, phi_[2][2][513] = {};
  int new_ = 0, old_ = 1, oldest_ = 0;
};

TEST(PsychoModel2Test, AgreesWithAPlainRenderingOverManyFrames) {
  PsychoModel2 model;
  ReferenceModel reference(model.layout());
  const auto chord = MakeSignal(Signal::kChord, 44100, 2, 1152 * 3);
  const auto noise = MakeSignal(Signal::kTransients, 44100, 2, 1152 * 3, 9);
  std::vector<double> history(2 * 1056), refHistory(2 * 1056);
  double worst = 0.0;
  for (int frame = 0; frame < 6; ++frame) {
    const auto& signal = frame < 3 ? chord : noise;
    for (int ch = 0; ch < 2; ++ch) {
      int16_t samples[1152];
      for (int i = 0; i < 1152; ++i) samples[i] = signal[((frame % 3) * 1152 + i) * 2 + ch];
      double smr[32], expected[32];
      model.AnalyseMasking(samples, &history[ch * 1056], ch, 2, 44100.0, smr);
      reference.Analyse(samples, &refHistory[ch * 1056], ch, expected);
      for (int sb = 0; sb < 32; ++sb) {
        worst = std::max(worst, std::fabs(smr[sb] - expected[sb]));
      }
    }
  }
  EXPECT_LT(worst, 1e-6);
}

TEST(PsychoModel2Test, FirstCallTreatsEverySoundingLineAsNoise) {
  PsychoModel2 model;
  std::vector<double> history(1056);
  const auto tone = MakeSignal(Signal::kTone, 44100, 1, 1152, 1, 3000.0);
  double smr[32];
  model.AnalyseMasking(tone.data(), history.data(), 0, 2, 44100.0, smr);
  // Nothing is known before the first spectrum: predicted 0, so c = 1 wherever there is
  // energy (the floor counts as energy).
  for (double c : model.unpredictability(0)) EXPECT_NEAR(c, 1.0, 1e-12);
  // In the second pass the steady tone is predictable where it sounds.
  const int line = static_cast<int>(3000.0 * 1024 / 44100 + 0.5);
  EXPECT_LT(model.unpredictability(1)[line], 0.9);
  // Both channels share the ages; one call turns them twice.
  EXPECT_EQ(model.ageNew(), 0);
  EXPECT_EQ(model.ageOld(), 1);
  EXPECT_EQ(model.ageOldest(), 0);
  // The tone's subband needs bits; far-away subbands are masked.
  const int sb = 3000 * 32 / 22050;
  EXPECT_GT(smr[sb], 10.0);
  EXPECT_LT(smr[25], 0.0);
}

TEST(PsychoModel2Test, SilenceIsFarBelowTheAbsoluteThreshold) {
  PsychoModel2 model;
  std::vector<double> history(1056);
  std::vector<int16_t> silence(1152, 0);
  double smr[32];
  model.AnalyseMasking(silence.data(), history.data(), 0, 2, 44100.0, smr);
  for (int sb = 0; sb < 13; ++sb) EXPECT_LT(smr[sb], -60.0) << sb;
  for (int sb = 0; sb < 32; ++sb) EXPECT_LT(smr[sb], 0.0) << sb;
}

TEST(PsychoModel2Test, HistoryCarriesAcrossCallsUntilReset) {
  const auto tone = MakeSignal(Signal::kTone, 44100, 1, 1152 * 5, 1, 3000.0);
  PsychoModel2 model;
  auto analyse = [&](std::vector<double>& history, const int16_t* samples) {
    std::array<double, 32> smr{};
    model.AnalyseMasking(samples, history.data(), 0, 2, 44100.0, smr.data());
    return smr;
  };
  std::vector<double> history(1056);
  const auto fresh = analyse(history, tone.data() + 1152 * 4);
  // A conversion of four frames of the tone, then a new conversion (its own, zeroed history
  // block) of the same frame: the prediction now comes from the first conversion's
  // spectra rather than from nothing, and the tone's masking changes.
  model.Reset();
  std::vector<double> first(1056), second(1056);
  for (int i = 0; i < 4; ++i) analyse(first, tone.data() + 1152 * i);
  const auto carried = analyse(second, tone.data() + 1152 * 4);
  const int sb = 3000 * 32 / 22050;
  EXPECT_GT(std::fabs(carried[sb] - fresh[sb]), 1.0);
  model.Reset();
  std::vector<double> again(1056);
  EXPECT_EQ(analyse(again, tone.data() + 1152 * 4), fresh);
}

TEST(PsychoModel2Test, RefusesWhatItCannotModel) {
  PsychoModel2 model;
  std::vector<double> history(1056);
  std::vector<int16_t> samples(1152, 100);
  double smr[32];
  std::fill(std::begin(smr), std::end(smr), 7.0);
  RecordingConversionLog log;
  ScopedConversionLog scope(log);
  model.AnalyseMasking(samples.data(), history.data(), 0, 3, 44100.0, smr);
  model.AnalyseMasking(samples.data(), history.data(), 0, 5, 44100.0, smr);
  EXPECT_EQ(log.lines, (std::vector<std::string>{"Error: layer 3 is unsupported",
                                                 "Error: invalid layer (5)"}));
  EXPECT_EQ(smr[0], 7.0);  // left as it was
  EXPECT_THROW(model.AnalyseMasking(samples.data(), history.data(), 0, 2, 48000.0, smr),
               CFileException);
  EXPECT_TRUE(log.HasLine("Error: 48000Hz is not valid sampling frequency"));
}

}  // namespace
}  // namespace quendrolix::mp2
