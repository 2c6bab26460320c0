#include "mpeg/video/transform.h"

#include <emmintrin.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "mpeg/video/vlc_tables.h"

namespace quendrolix {
namespace {

struct DctTables {
  double c[8][8];   // c[u][x]
  double ct[8][8];  // ct[x][u] = c[u][x], rows for the vector lanes of the row pass
  DctTables() {
    for (int u = 0; u < 8; ++u) {
      double s = u == 0 ? std::sqrt(0.125) : 0.5;
      for (int x = 0; x < 8; ++x) {
        c[u][x] = s * std::cos((2 * x + 1) * u * M_PI / 16.0);
        ct[x][u] = c[u][x];
      }
    }
  }
};
const DctTables& Dct() {
  static const DctTables tables;
  return tables;
}

typedef double V4 __attribute__((vector_size(32)));

// The same products summed in the same order as the reference, four outputs at a time:
// each lane does exactly the scalar sequence of multiplications and additions.
__attribute__((target_clones("avx2", "default"))) void ForwardDctLanes(int16_t block[64]) {
  // Vectors stay local: none is passed to or returned from a function.
  const DctTables& t = Dct();
  alignas(32) double tmp[64];
  for (int i = 0; i < 8; ++i) {
    const int16_t* row = block + 8 * i;
    V4 s0 = {0.0, 0.0, 0.0, 0.0}, s1 = s0;
    for (int k = 0; k < 8; ++k) {
      double v = row[k];
      V4 b = {v, v, v, v}, c0, c1;
      std::memcpy(&c0, &t.ct[k][0], sizeof c0);
      std::memcpy(&c1, &t.ct[k][4], sizeof c1);
      s0 = s0 + c0 * b;
      s1 = s1 + c1 * b;
    }
    std::memcpy(tmp + 8 * i, &s0, sizeof s0);
    std::memcpy(tmp + 8 * i + 4, &s1, sizeof s1);
  }
  for (int i = 0; i < 8; ++i) {
    V4 s0 = {0.0, 0.0, 0.0, 0.0}, s1 = s0;
    for (int k = 0; k < 8; ++k) {
      double v = t.c[i][k];
      V4 c = {v, v, v, v}, r0, r1;
      std::memcpy(&r0, tmp + 8 * k, sizeof r0);
      std::memcpy(&r1, tmp + 8 * k + 4, sizeof r1);
      s0 = s0 + c * r0;
      s1 = s1 + c * r1;
    }
    alignas(32) double out[8];
    std::memcpy(out, &s0, sizeof s0);
    std::memcpy(out + 4, &s1, sizeof s1);
    for (int j = 0; j < 8; ++j)
      block[8 * i + j] = static_cast<int16_t>(static_cast<int>(std::floor(out[j] + 0.499999)));
  }
}

inline int Sign(int v) {
  return (v > 0) - (v < 0);
}

inline int16_t Oddify(int v) {
  if (v != 0 && (v & 1) == 0) v += v > 0 ? -1 : 1;
  if (v > 2047) v = 2047;
  if (v < -2048) v = -2048;
  return static_cast<int16_t>(v);
}

}  // namespace

double DctBasis(int u, int x) {
  return Dct().c[u][x];
}

void ForwardDctReference(int16_t block[64]) {
  const DctTables& t = Dct();
  double tmp[64];
  for (int i = 0; i < 8; ++i)
    for (int j = 0; j < 8; ++j) {
      double s = 0.0;
      for (int k = 0; k < 8; ++k) s += t.c[j][k] * block[8 * i + k];
      tmp[8 * i + j] = s;
    }
  for (int j = 0; j < 8; ++j)
    for (int i = 0; i < 8; ++i) {
      double s = 0.0;
      for (int k = 0; k < 8; ++k) s += t.c[i][k] * tmp[8 * k + j];
      block[8 * i + j] = static_cast<int16_t>(static_cast<int>(std::floor(s + 0.499999)));
    }
}

void ForwardDct(int16_t block[64]) {
  // A block the prediction matches exactly transforms to zeros (floor(0 + 0.499999) = 0).
  uint64_t any = 0;
  for (int i = 0; i < 16; ++i) {
    uint64_t v;
    std::memcpy(&v, block + 4 * i, 8);
    any |= v;
  }
  if (!any) return;
  ForwardDctLanes(block);
}

// Inverse DCT constants: 2048 x sqrt(2) x cos(k pi / 16).
constexpr int W1 = 2841, W2 = 2676, W3 = 2408, W5 = 1609, W6 = 1108, W7 = 565;

static inline int16_t ClipIdct(int v) {
  return static_cast<int16_t>(v < -256 ? -256 : v > 255 ? 255 : v);
}

// The last two butterfly stages, the same for rows and columns.
static inline void LastStages(int& x0, int& x1, int& x2, int& x3, int& x4, int& x5, int& x6,
                              int& x7, int& x8) {
  x1 = x4 + x6;
  x4 -= x6;
  x6 = x5 + x7;
  x5 -= x7;

  x7 = x8 + x3;
  x8 -= x3;
  x3 = x0 + x2;
  x0 -= x2;
  x2 = (181 * (x4 + x5) + 128) >> 8;
  x4 = (181 * (x4 - x5) + 128) >> 8;
}

static void InverseDctRow(int16_t* b) {
  int x1 = b[4] * 2048, x2 = b[6], x3 = b[2], x4 = b[1], x5 = b[7], x6 = b[5], x7 = b[3];
  if (!(x1 | x2 | x3 | x4 | x5 | x6 | x7)) {
    int16_t v = static_cast<int16_t>(b[0] * 8);
    for (int i = 0; i < 8; ++i) b[i] = v;
    return;
  }
  int x0 = b[0] * 2048 + 128;  // rounding for the last stage
  int x8 = W7 * (x4 + x5);
  x4 = x8 + (W1 - W7) * x4;
  x5 = x8 - (W1 + W7) * x5;
  x8 = W3 * (x6 + x7);
  x6 = x8 - (W3 - W5) * x6;
  x7 = x8 - (W3 + W5) * x7;

  x8 = x0 + x1;
  x0 -= x1;
  x1 = W6 * (x3 + x2);
  x2 = x1 - (W2 + W6) * x2;
  x3 = x1 + (W2 - W6) * x3;
  LastStages(x0, x1, x2, x3, x4, x5, x6, x7, x8);

  b[0] = static_cast<int16_t>((x7 + x1) >> 8);
  b[1] = static_cast<int16_t>((x3 + x2) >> 8);
  b[2] = static_cast<int16_t>((x0 + x4) >> 8);
  b[3] = static_cast<int16_t>((x8 + x6) >> 8);
  b[4] = static_cast<int16_t>((x8 - x6) >> 8);
  b[5] = static_cast<int16_t>((x0 - x4) >> 8);
  b[6] = static_cast<int16_t>((x3 - x2) >> 8);
  b[7] = static_cast<int16_t>((x7 - x1) >> 8);
}

static void InverseDctColumn(int16_t* b) {
  int x1 = b[8 * 4] * 256, x2 = b[8 * 6], x3 = b[8 * 2], x4 = b[8 * 1], x5 = b[8 * 7],
      x6 = b[8 * 5], x7 = b[8 * 3];
  if (!(x1 | x2 | x3 | x4 | x5 | x6 | x7)) {
    int16_t v = ClipIdct((b[0] + 32) >> 6);
    for (int i = 0; i < 8; ++i) b[8 * i] = v;
    return;
  }
  int x0 = b[0] * 256 + 8192;
  int x8 = W7 * (x4 + x5) + 4;
  x4 = (x8 + (W1 - W7) * x4) >> 3;
  x5 = (x8 - (W1 + W7) * x5) >> 3;
  x8 = W3 * (x6 + x7) + 4;
  x6 = (x8 - (W3 - W5) * x6) >> 3;
  x7 = (x8 - (W3 + W5) * x7) >> 3;

  x8 = x0 + x1;
  x0 -= x1;
  x1 = W6 * (x3 + x2) + 4;
  x2 = (x1 - (W2 + W6) * x2) >> 3;
  x3 = (x1 + (W2 - W6) * x3) >> 3;
  LastStages(x0, x1, x2, x3, x4, x5, x6, x7, x8);

  b[8 * 0] = ClipIdct((x7 + x1) >> 14);
  b[8 * 1] = ClipIdct((x3 + x2) >> 14);
  b[8 * 2] = ClipIdct((x0 + x4) >> 14);
  b[8 * 3] = ClipIdct((x8 + x6) >> 14);
  b[8 * 4] = ClipIdct((x8 - x6) >> 14);
  b[8 * 5] = ClipIdct((x0 - x4) >> 14);
  b[8 * 6] = ClipIdct((x3 - x2) >> 14);
  b[8 * 7] = ClipIdct((x7 - x1) >> 14);
}

void InverseDct(int16_t block[64]) {
  for (int i = 0; i < 8; ++i) InverseDctRow(block + 8 * i);
  for (int i = 0; i < 8; ++i) InverseDctColumn(block + i);
}

void QuantIntra(const int16_t* src, int16_t* dst, int mquant) {
  int x = src[0];
  dst[0] = static_cast<int16_t>(x >= 0 ? (x + 4) / 8 : -((-x + 4) / 8));
  const int round = (3 * mquant + 2) / 4;
  const int step = 2 * mquant;
  for (int i = 1; i < 64; ++i) {
    x = src[i];
    int w = kDefaultIntraMatrix[i];
    int y = (32 * (x >= 0 ? x : -x) + w / 2) / w;
    y = (y + round) / step;
    if (y > 255) y = 255;
    dst[i] = static_cast<int16_t>(x >= 0 ? y : -y);
  }
}

bool QuantNonIntra(const int16_t* src, int16_t* dst, int mquant) {
  // With the flat matrix (32|x| + 8) / 16 is 2|x|, so the level is |x| / mquant: a block
  // whose largest magnitude is below mquant is all zeros, which most predicted blocks are.
  static_assert(kNonIntraWeight == 16);
  __m128i largest = _mm_setzero_si128();
  for (int i = 0; i < 64; i += 8) {
    __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
    // |x|, saturated so that -32768 counts as 32767.
    __m128i magnitude = _mm_max_epi16(v, _mm_subs_epi16(_mm_setzero_si128(), v));
    largest = _mm_max_epi16(largest, magnitude);
  }
  alignas(16) uint16_t lanes[8];
  _mm_store_si128(reinterpret_cast<__m128i*>(lanes), largest);
  unsigned maximum = 0;
  for (uint16_t lane : lanes) maximum = std::max<unsigned>(maximum, lane);
  if (maximum < static_cast<unsigned>(mquant)) {
    std::memset(dst, 0, 64 * sizeof(int16_t));
    return false;
  }
  // |x| / mquant in single precision, eight at a time: the quotient of |x| <= 32768 by
  // mquant <= 62 is off an integer by at least 1/62 unless it is one, far more than the
  // rounding of the division (below 2^-10), so truncation gives the integer quotient.
  const __m128 divisor = _mm_set1_ps(static_cast<float>(mquant));
  const __m128i zero = _mm_setzero_si128();
  const __m128i limit = _mm_set1_epi16(255);
  __m128i any = zero;
  for (int i = 0; i < 64; i += 8) {
    __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
    __m128i sign = _mm_srai_epi16(v, 15);
    __m128i magnitude = _mm_sub_epi16(_mm_xor_si128(v, sign), sign);  // -32768 reads 32768
    __m128 low = _mm_cvtepi32_ps(_mm_unpacklo_epi16(magnitude, zero));
    __m128 high = _mm_cvtepi32_ps(_mm_unpackhi_epi16(magnitude, zero));
    __m128i y = _mm_packs_epi32(_mm_cvttps_epi32(_mm_div_ps(low, divisor)),
                                _mm_cvttps_epi32(_mm_div_ps(high, divisor)));
    y = _mm_min_epi16(y, limit);
    any = _mm_or_si128(any, y);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i),
                     _mm_sub_epi16(_mm_xor_si128(y, sign), sign));
  }
  return _mm_movemask_epi8(_mm_cmpeq_epi8(any, zero)) != 0xFFFF;
}

void DequantIntra(const int16_t* src, int16_t* dst, int mquant) {
  dst[0] = static_cast<int16_t>(src[0] * 8);
  for (int i = 1; i < 64; ++i) dst[i] = Oddify(src[i] * kDefaultIntraMatrix[i] * mquant / 16);
}

void DequantNonIntra(const int16_t* src, int16_t* dst, int mquant) {
  for (int i = 0; i < 64; ++i) {
    int x = src[i];
    dst[i] = x == 0 ? 0 : Oddify((2 * x + Sign(x)) * kNonIntraWeight * mquant / 32);
  }
}

}  // namespace quendrolix
