#include "mpeg/audio/psycho_model2.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "mpeg/audio/audio_tables.h"
#include "platform/host/conversion_log.h"
#include "platform/host/file_exception.h"

namespace quendrolix::mp2 {
namespace {

constexpr double kCriticalBandEdges[27] = {
    0,    100,  200,  300,  400,  510,  630,  770,  920,  1080,  1270,  1480,  1720, 2000,
    2320, 2700, 3150, 3700, 4400, 5300, 6400, 7700, 9500, 12000, 15500, 25000, 30000};
constexpr double kBmax[27] = {20,  20,  20,  20,  20,  17,  15,  10,  7,   4.4, 4.5, 4.5, 4.5, 4.5,
                              4.5, 4.5, 4.5, 4.5, 4.5, 4.5, 4.5, 4.5, 4.5, 4.5, 3.5, 3.5, 3.5};
constexpr double kNoiseMaskingTone = 5.5;
constexpr double kEnergyFloor = 0.0005;
constexpr double kHugeThreshold = 60802371420160.0;
constexpr int kLinesPerSubband = 17;

}  // namespace

PsychoModel2::PsychoModel2() {
  Reset();
}
PsychoModel2::~PsychoModel2() = default;

void PsychoModel2::Reset() {
  // The constant data, once built, is the same whenever it is built; only the history goes.
  // Magnitude 0 and phase 0, the phase being the unit vector (1, 0).
  for (auto* history : {&r_, &sinPhi_})
    for (auto& channel : *history)
      for (auto& age : channel) age.fill(0.0);
  for (auto& channel : cosPhi_)
    for (auto& age : channel) age.fill(1.0);
  new_ = 0;
  old_ = 1;
  oldest_ = 0;
}

const PsychoModel2::Layout& PsychoModel2::layout() {
  if (!built_) Build();
  return layout_;
}

void PsychoModel2::Build() {
  std::copy(std::begin(kAbsoluteThreshold44100), std::end(kAbsoluteThreshold44100),
            absthr_.begin());
  for (int i = 0; i < 1024; ++i)
    window_[i] = 0.5 * (1.0 - std::cos(2.0 * std::numbers::pi * (i - 0.5) / 1024.0));

  // Bark value of each line, then partitions of lines within 0.33 bark of their first.
  std::array<double, kLines> bark{};
  for (int i = 0; i < kLines; ++i) {
    const double f = i * 44100.0 / 1024.0;
    int j = 1;
    while (j < 26 && f > kCriticalBandEdges[j]) ++j;
    bark[i] = (j - 1) +
              (f - kCriticalBandEdges[j - 1]) / (kCriticalBandEdges[j] - kCriticalBandEdges[j - 1]);
  }
  Layout& l = layout_;
  l = Layout{};
  std::array<double, kMaxPartitions> barkSum{};
  int part = 0, opener = 0;
  for (int i = 0; i < kLines; ++i) {
    if (i > 0 && bark[i] - bark[opener] > 0.33 && part + 1 < kMaxPartitions) {
      ++part;
      opener = i;
    }
    l.partitionOfLine[i] = part;
    barkSum[part] += bark[i];
    ++l.numlines[part];
  }
  l.partitions = part + 1;
  for (int j = 0; j < l.partitions; ++j) l.cbval[j] = barkSum[j] / l.numlines[j];

  // Spreading from partition k into partition j.
  l.spreading.assign(kMaxPartitions * kMaxPartitions, 0.0);
  spreadEntries_.clear();
  for (int j = 0; j < l.partitions; ++j) {
    spreadRowStart_[j] = static_cast<int>(spreadEntries_.size());
    double sum = 0.0;
    for (int k = 0; k < l.partitions; ++k) {
      const double x = (l.cbval[j] - l.cbval[k]) * 1.05;
      double t = 0.0;
      if (x >= 0.5 && x <= 2.5) t = 8.0 * ((x - 0.5) * (x - 0.5) - 2.0 * (x - 0.5));
      const double y =
          15.811389 + 7.5 * (x + 0.474) - 17.5 * std::sqrt(1.0 + (x + 0.474) * (x + 0.474));
      const double s = y <= -100.0 ? 0.0 : std::pow(10.0, (t + y) / 10.0);
      l.spreading[j * kMaxPartitions + k] = s;
      sum += s;
      if (s != 0.0) spreadEntries_.push_back({k, s});
    }
    l.tmn[j] = std::max(15.5 + l.cbval[j], 24.5);
    l.rnorm[j] = sum;
    bmaxOfPartition_[j] = kBmax[static_cast<int>(l.cbval[j] + 0.5)];
    noiseRatio_[j] = MaskingRatio(j, 0.5);
    toneRatio_[j] = MaskingRatio(j, 0.05);
  }
  spreadRowStart_[l.partitions] = static_cast<int>(spreadEntries_.size());
  built_ = true;
}

double PsychoModel2::MaskingRatio(int j, double cb) const {
  cb = std::clamp(cb, 0.05, 0.5);
  const double tb = -0.434294482 * std::log(cb) - 0.301029996;
  double bc = layout_.tmn[j] * tb + kNoiseMaskingTone * (1.0 - tb);
  bc = std::max(bc, bmaxOfPartition_[j]);
  return std::pow(10.0, -bc / 10.0);
}

void PsychoModel2::AnalyseMasking(const int16_t* samples, double* history, int channel, int layer,
                                  double samplingFrequency, double* smr) {
  const int rate = static_cast<int>(std::lround(samplingFrequency));
  if (rate != 44100) {
    ReportLine("Error: %dHz is not valid sampling frequency", rate);
    throw CFileException("unsupported sampling frequency");
  }
  if (layer == 3 || layer == 1) {
    // Only the layer II form is carried; layer I never reaches the model.
    ReportLine("Error: layer %d is unsupported", layer);
    return;
  }
  if (layer != 2) {
    ReportLine("Error: invalid layer (%d)", layer);
    return;
  }
  if (!built_) Build();
  double passSmr[2][32];
  for (int pass = 0; pass < 2; ++pass)
    Pass(pass, history, samples + pass * kNewPerPass, channel & 1, passSmr[pass]);
  for (int sb = 0; sb < 32; ++sb) smr[sb] = std::max(passSmr[0][sb], passSmr[1][sb]);
}

void PsychoModel2::Pass(int pass, double* history, const int16_t* newSamples, int channel,
                        double* smr) {
  constexpr int kKept = kHistory - kNewPerPass;  // 480
  for (int j = 0; j < kKept; ++j) history[j] = history[j + kNewPerPass];
  for (int j = kKept; j < kHistory; ++j) history[j] = newSamples[j - kKept];

  for (int i = 0; i < 1024; ++i) wsamp_[i] = window_[i] * history[i];
  fft_.Transform(wsamp_.data(), re_.data(), im_.data());

  // The ages rotate on every pass; both channels share them.
  if (new_ == 0) {
    new_ = 1;
    oldest_ = 1;
  } else {
    new_ = 0;
    oldest_ = 0;
  }
  old_ = 1 - old_;

  // Unpredictability: distance of each line from its value predicted from the two
  // spectra before, relative to both magnitudes. Phases are kept as unit vectors, so the
  // predicted phase 2 phi[old] - phi[oldest] is a product of rotations rather than angles.
  double* rNew = r_[channel][new_].data();
  double* cNew = cosPhi_[channel][new_].data();
  double* sNew = sinPhi_[channel][new_].data();
  const double* rOld = r_[channel][old_].data();
  const double* cOld = cosPhi_[channel][old_].data();
  const double* sOld = sinPhi_[channel][old_].data();
  const double* rOldest = r_[channel][oldest_].data();
  const double* cOldest = cosPhi_[channel][oldest_].data();
  const double* sOldest = sinPhi_[channel][oldest_].data();
  double* c = c_[pass].data();
  for (int k = 0; k < kLines; ++k) {
    double e = re_[k] * re_[k] + im_[k] * im_[k];
    double r, cosPhase = 1.0, sinPhase = 0.0;
    if (k < 512 && e <= kEnergyFloor) {
      e = kEnergyFloor;
      r = std::sqrt(e);
    } else {
      r = std::sqrt(e);
      if (e != 0.0) {
        cosPhase = re_[k] / r;
        sinPhase = im_[k] / r;
      }
    }
    energy_[k] = e;

    const double rPredicted = 2.0 * rOld[k] - rOldest[k];
    const double cos2 = cOld[k] * cOld[k] - sOld[k] * sOld[k];
    const double sin2 = 2.0 * cOld[k] * sOld[k];
    const double cosPredicted = cos2 * cOldest[k] + sin2 * sOldest[k];
    const double sinPredicted = sin2 * cOldest[k] - cos2 * sOldest[k];
    // The new slot is the oldest one: read above, written here.
    rNew[k] = r;
    cNew[k] = cosPhase;
    sNew[k] = sinPhase;

    const double dx = r * cosPhase - rPredicted * cosPredicted;
    const double dy = r * sinPhase - rPredicted * sinPredicted;
    const double denominator = r + std::fabs(rPredicted);
    c[k] = denominator != 0.0 ? std::sqrt(dx * dx + dy * dy) / denominator : 0.0;
  }

  const Layout& l = layout_;
  const int partitions = l.partitions;
  std::fill_n(groupedE_.begin(), partitions, 0.0);
  std::fill_n(groupedC_.begin(), partitions, 0.0);
  for (int k = 0; k < kLines; ++k) {
    const int p = l.partitionOfLine[k];
    groupedE_[p] += energy_[k];
    groupedC_[p] += energy_[k] * c[k];
  }

  for (int j = 0; j < partitions; ++j) {
    double ecb = 0.0, ct = 0.0;
    const SpreadEntry* entry = spreadEntries_.data() + spreadRowStart_[j];
    const SpreadEntry* end = spreadEntries_.data() + spreadRowStart_[j + 1];
    for (; entry != end; ++entry) {
      ecb += entry->s * groupedE_[entry->k];
      ct += entry->s * groupedC_[entry->k];
    }
    ecb_[j] = ecb;
    double cb = ecb != 0.0 ? ct / ecb : 0.0;

    // Most partitions sit at one of the clamps; their ratios are worked out once.
    double ratio;
    if (cb >= 0.5) {
      ratio = noiseRatio_[j];
    } else if (cb <= 0.05) {
      ratio = toneRatio_[j];
    } else {
      ratio = MaskingRatio(j, cb);
    }
    const double norm = l.rnorm[j] * l.numlines[j];
    nb_[j] = (ecb != 0.0 && norm != 0.0) ? ecb * ratio / norm : 0.0;
  }

  for (int k = 0; k < kLines; ++k) thr_[k] = std::max(nb_[l.partitionOfLine[k]], absthr_[k]);

  // 17 lines per subband, so that neighbours share a line.
  for (int sb = 0; sb < 13; ++sb) {
    double sum = 0.0, smallest = kHugeThreshold;
    for (int i = 16 * sb; i < 16 * sb + kLinesPerSubband; ++i) {
      sum += energy_[i];
      if (thr_[i] < smallest) smallest = thr_[i];
    }
    smr[sb] = 4.342944819 * std::log(sum / (kLinesPerSubband * smallest));
  }
  for (int sb = 13; sb < 32; ++sb) {
    double sum = 0.0, sumThr = 0.0;
    for (int i = 16 * sb; i < 16 * sb + kLinesPerSubband; ++i) {
      sum += energy_[i];
      sumThr += thr_[i];
    }
    smr[sb] = 4.342944819 * std::log(sum / sumThr);
  }
}

}  // namespace quendrolix::mp2
