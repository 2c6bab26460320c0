#include "mpeg/audio/analysis_filter.h"

#include <cmath>
#include <numbers>

#include "mpeg/audio/audio_tables.h"

namespace quendrolix::mp2 {
namespace {

// The matrix stored column by column ([i][k]) so that one input value meets all 32
// subbands in a row; each subband's sum still runs over i in ascending order.
struct FilterMatrix {
  alignas(64) double byColumn[64][32];
  FilterMatrix() {
    for (int k = 0; k < 32; ++k)
      for (int i = 0; i < 64; ++i) byColumn[i][k] = AnalysisFilterBank::MatrixCoefficient(k, i);
  }
};

const FilterMatrix& Matrix() {
  static const FilterMatrix matrix;
  return matrix;
}

}  // namespace

double AnalysisFilterBank::MatrixCoefficient(int k, int i) {
  const double value = std::cos((2 * k + 1) * (16 - i) * std::numbers::pi / 64.0);
  // std::round rounds halves away from zero.
  return std::round(value * 1e9) / 1e9;
}

void AnalysisFilterBank::Reset() {
  for (auto& s : store_) s.fill(0.0);
  offset_.fill(0);
}

void AnalysisFilterBank::WindowAndFilter(int channel, const int16_t* samples, double* subbands) {
  double* x = store_[channel].data();
  int offset = offset_[channel];
  for (int i = 0; i < 32; ++i) x[(offset + 31 - i) & 511] = samples[i] / 32768.0;

  alignas(64) double z[512];
  for (int i = 0; i < 512; ++i) z[i] = x[(offset + i) & 511] * kAnalysisWindow[i];
  offset_[channel] = (offset - 32) & 511;

  alignas(64) double y[64];
  for (int i = 0; i < 64; ++i) {
    double sum = 0.0;
    for (int j = 0; j < 8; ++j) sum += z[i + 64 * j];
    y[i] = sum;
  }

  const FilterMatrix& m = Matrix();
  alignas(64) double acc[32] = {};
  for (int i = 0; i < 64; ++i) {
    const double v = y[i];
    const double* column = m.byColumn[i];
    for (int k = 0; k < 32; ++k) acc[k] += column[k] * v;
  }
  for (int k = 0; k < 32; ++k) subbands[k] = acc[k];
}

}  // namespace quendrolix::mp2
