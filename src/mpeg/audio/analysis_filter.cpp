#include "mpeg/audio/analysis_filter.h"

#include <cmath>
#include <cstring>
#include <numbers>

#include "mpeg/audio/audio_tables.h"

namespace quendrolix::mp2 {
namespace {

// Four doubles handled as one value; the compiler maps it to whatever vector registers
// the target has (two SSE2 registers, or one AVX register).
using Double4 = double __attribute__((vector_size(32)));

// The matrix (and the window) stored column by column ([i][k]) so that one input value meets all 32
// subbands in a row; each subband's sum still runs over i in ascending order.
struct FilterMatrix {
  Double4 byColumn[64][8];
  Double4 window[128];  // the analysis window, four at a time
  FilterMatrix() {
    std::memcpy(window, kAnalysisWindow, sizeof window);
    for (int k = 0; k < 32; ++k)
      for (int i = 0; i < 64; ++i)
        byColumn[i][k / 4][k % 4] = AnalysisFilterBank::MatrixCoefficient(k, i);
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

namespace {

// Windowing, folding and the matrix product, for the vector units the processor has. Each
// subband's sum runs over i in ascending order with separate multiplications and
// additions, so every variant gives the same bits.
#if defined(__x86_64__) && defined(__ELF__)
#define QUENDROLIX_AVX2_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define QUENDROLIX_AVX2_CLONES
#endif

QUENDROLIX_AVX2_CLONES void FilterKernel(const double* x, int offset, double* subbands) {
  const FilterMatrix& m = Matrix();
  // The store is circular: the window starts at `offset` (a multiple of 32) and wraps.
  Double4 z[128];
  const int first = 512 - offset;
  for (int i = 0; i < 512; i += 4) {
    Double4 v;
    std::memcpy(&v, i < first ? x + offset + i : x + i - first, sizeof v);
    z[i / 4] = v * m.window[i / 4];
  }

  Double4 y[16];
  for (int q = 0; q < 16; ++q) {
    Double4 sum = {0.0, 0.0, 0.0, 0.0};
    for (int j = 0; j < 8; ++j) sum += z[q + 16 * j];
    y[q] = sum;
  }

  Double4 a0 = {}, a1 = {}, a2 = {}, a3 = {}, a4 = {}, a5 = {}, a6 = {}, a7 = {};
  for (int i = 0; i < 64; ++i) {
    const double yi = y[i / 4][i % 4];
    const Double4 v = {yi, yi, yi, yi};
    const Double4* c = m.byColumn[i];
    a0 += c[0] * v;
    a1 += c[1] * v;
    a2 += c[2] * v;
    a3 += c[3] * v;
    a4 += c[4] * v;
    a5 += c[5] * v;
    a6 += c[6] * v;
    a7 += c[7] * v;
  }
  const Double4 acc[8] = {a0, a1, a2, a3, a4, a5, a6, a7};
  std::memcpy(subbands, acc, sizeof acc);
}

}  // namespace

void AnalysisFilterBank::WindowAndFilter(int channel, const int16_t* samples, double* subbands) {
  double* x = store_[channel].data();
  const int offset = offset_[channel];
  for (int i = 0; i < 32; ++i) x[(offset + 31 - i) & 511] = samples[i] / 32768.0;
  FilterKernel(x, offset, subbands);
  offset_[channel] = (offset - 32) & 511;
}

}  // namespace quendrolix::mp2
