#include "mpeg/audio/fft.h"

#include <cmath>
#include <numbers>

namespace quendrolix::mp2 {
namespace {

// cos and sin of -2 pi k / n, folded into the first octant so that the symmetric values
// come out exactly symmetric.
void Twiddle(int k, int n, double& c, double& s) {
  const double angle = 2.0 * std::numbers::pi * k / n;
  c = std::cos(angle);
  s = -std::sin(angle);
  if (4 * k == n) c = 0.0, s = -1.0;
  if (2 * k == n) c = -1.0, s = 0.0;
}

}  // namespace

RealFft1024::RealFft1024() {
  int bits = 0;
  while ((1 << bits) < kHalf) ++bits;
  for (int i = 0; i < kHalf; ++i) {
    int r = 0;
    for (int b = 0; b < bits; ++b)
      if (i & (1 << b)) r |= 1 << (bits - 1 - b);
    bitReverse_[i] = r;
  }
  // Stage with butterflies of length len uses twiddles j = 0..len/2-1 of e^(-2 pi i j/len);
  // they are stored from offset len/2 - 1 on (stage len = 2 at 0, 4 at 1, 8 at 3, ...).
  for (int len = 2; len <= kHalf; len *= 2) {
    const int half = len / 2;
    for (int j = 0; j < half; ++j)
      Twiddle(j, len, stageCos_[half - 1 + j], stageSin_[half - 1 + j]);
  }
  for (int k = 0; k < kHalf; ++k) Twiddle(k, kSize, splitCos_[k], splitSin_[k]);
}

void RealFft1024::Transform(const double* input, double* re, double* im) {
  double* zr = workRe_.data();
  double* zi = workIm_.data();
  // z[n] = x[2n] + i x[2n+1], in bit-reversed order.
  for (int n = 0; n < kHalf; ++n) {
    const int r = bitReverse_[n];
    zr[r] = input[2 * n];
    zi[r] = input[2 * n + 1];
  }
  // Stages of length 2 and 4 need no multiplications.
  for (int b = 0; b < kHalf; b += 4) {
    double ar = zr[b] + zr[b + 1], ai = zi[b] + zi[b + 1];
    double br = zr[b] - zr[b + 1], bi = zi[b] - zi[b + 1];
    double cr = zr[b + 2] + zr[b + 3], ci = zi[b + 2] + zi[b + 3];
    double dr = zr[b + 2] - zr[b + 3], di = zi[b + 2] - zi[b + 3];
    zr[b] = ar + cr, zi[b] = ai + ci;
    zr[b + 2] = ar - cr, zi[b + 2] = ai - ci;
    // d times -i
    zr[b + 1] = br + di, zi[b + 1] = bi - dr;
    zr[b + 3] = br - di, zi[b + 3] = bi + dr;
  }
  for (int len = 8; len <= kHalf; len *= 2) {
    const int half = len / 2;
    const double* wc = &stageCos_[half - 1];
    const double* ws = &stageSin_[half - 1];
    for (int b = 0; b < kHalf; b += len) {
      double* ar = zr + b;
      double* ai = zi + b;
      double* br = zr + b + half;
      double* bi = zi + b + half;
      for (int j = 0; j < half; ++j) {
        const double tr = br[j] * wc[j] - bi[j] * ws[j];
        const double ti = br[j] * ws[j] + bi[j] * wc[j];
        br[j] = ar[j] - tr;
        bi[j] = ai[j] - ti;
        ar[j] = ar[j] + tr;
        ai[j] = ai[j] + ti;
      }
    }
  }
  // Split: X[k] = E[k] + W^k O[k] with E = (Z[k] + conj Z[N-k]) / 2 and
  // O = (Z[k] - conj Z[N-k]) / 2i.
  re[0] = zr[0] + zi[0];
  im[0] = 0.0;
  re[kHalf] = zr[0] - zi[0];
  im[kHalf] = 0.0;
  for (int k = 1; k < kHalf; ++k) {
    const double pr = zr[k], pi = zi[k];
    const double qr = zr[kHalf - k], qi = -zi[kHalf - k];
    const double er = 0.5 * (pr + qr), ei = 0.5 * (pi + qi);
    // (p - q) / 2i = (pi - qi)/2 - i (pr - qr)/2
    const double or_ = 0.5 * (pi - qi), oi = -0.5 * (pr - qr);
    re[k] = er + (or_ * splitCos_[k] - oi * splitSin_[k]);
    im[k] = ei + (or_ * splitSin_[k] + oi * splitCos_[k]);
  }
}

}  // namespace quendrolix::mp2
