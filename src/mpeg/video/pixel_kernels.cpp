#include "mpeg/video/pixel_kernels.h"

#include <emmintrin.h>

#include <cstddef>

#include <algorithm>
#include <cstdlib>

namespace quendrolix {

int Sad16Plain(const uint8_t* a, int strideA, const uint8_t* b, int strideB, int limit) {
  int s = 0;
  for (int r = 0; r < 16; ++r) {
    for (int c = 0; c < 16; ++c) s += std::abs(a[c] - b[c]);
    if (s >= limit) break;
    a += strideA;
    b += strideB;
  }
  return s;
}

static inline __m128i SadRow(const uint8_t* a, const uint8_t* b) {
  return _mm_sad_epu8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(a)),
                      _mm_loadu_si128(reinterpret_cast<const __m128i*>(b)));
}

int Sad16Sse2(const uint8_t* a, int strideA, const uint8_t* b, int strideB, int limit) {
  __m128i acc = _mm_setzero_si128();
  int s = 0;
  for (int r = 0; r < 16; r += 4) {
    __m128i s0 = SadRow(a, b);
    __m128i s1 = SadRow(a + strideA, b + strideB);
    __m128i s2 = SadRow(a + 2 * strideA, b + 2 * strideB);
    __m128i s3 = SadRow(a + 3 * strideA, b + 3 * strideB);
    acc = _mm_add_epi32(acc, _mm_add_epi32(_mm_add_epi32(s0, s1), _mm_add_epi32(s2, s3)));
    s = _mm_cvtsi128_si32(acc) + _mm_cvtsi128_si32(_mm_srli_si128(acc, 8));
    if (s >= limit) return s;
    a += 4 * strideA;
    b += 4 * strideB;
  }
  return s;
}

int Sse16Plain(const uint8_t* a, int strideA, const uint8_t* b, int strideB) {
  int s = 0;
  for (int r = 0; r < 16; ++r) {
    for (int c = 0; c < 16; ++c) {
      int d = a[c] - b[c];
      s += d * d;
    }
    a += strideA;
    b += strideB;
  }
  return s;
}

int Sse16Sse2(const uint8_t* a, int strideA, const uint8_t* b, int strideB) {
  const __m128i zero = _mm_setzero_si128();
  __m128i acc = _mm_setzero_si128();
  for (int r = 0; r < 16; ++r) {
    __m128i va = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a));
    __m128i vb = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b));
    __m128i lo = _mm_sub_epi16(_mm_unpacklo_epi8(va, zero), _mm_unpacklo_epi8(vb, zero));
    __m128i hi = _mm_sub_epi16(_mm_unpackhi_epi8(va, zero), _mm_unpackhi_epi8(vb, zero));
    acc = _mm_add_epi32(acc, _mm_add_epi32(_mm_madd_epi16(lo, lo), _mm_madd_epi16(hi, hi)));
    a += strideA;
    b += strideB;
  }
  acc = _mm_add_epi32(acc, _mm_srli_si128(acc, 8));
  acc = _mm_add_epi32(acc, _mm_srli_si128(acc, 4));
  return _mm_cvtsi128_si32(acc);
}

int MacroblockVariance(const uint8_t* p, int stride) {
  const __m128i zero = _mm_setzero_si128();
  __m128i sum = _mm_setzero_si128();
  __m128i squares = _mm_setzero_si128();
  for (int r = 0; r < 16; ++r) {
    __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    sum = _mm_add_epi64(sum, _mm_sad_epu8(v, zero));
    __m128i lo = _mm_unpacklo_epi8(v, zero);
    __m128i hi = _mm_unpackhi_epi8(v, zero);
    squares = _mm_add_epi32(squares, _mm_add_epi32(_mm_madd_epi16(lo, lo), _mm_madd_epi16(hi, hi)));
    p += stride;
  }
  int s = _mm_cvtsi128_si32(sum) + _mm_cvtsi128_si32(_mm_srli_si128(sum, 8));
  squares = _mm_add_epi32(squares, _mm_srli_si128(squares, 8));
  squares = _mm_add_epi32(squares, _mm_srli_si128(squares, 4));
  int s2 = _mm_cvtsi128_si32(squares);
  return static_cast<int>(s2 - ((int64_t{s} * s) >> 8));
}

double BlockVariance8(const uint8_t* p, int stride) {
  // Two rows of eight a step; the sums are the same integers as the plain loops give.
  const __m128i zero = _mm_setzero_si128();
  __m128i sum = zero, squares = zero;
  for (int r = 0; r < 8; r += 2) {
    __m128i v = _mm_unpacklo_epi64(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)),
                                   _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p + stride)));
    sum = _mm_add_epi64(sum, _mm_sad_epu8(v, zero));
    __m128i lo = _mm_unpacklo_epi8(v, zero), hi = _mm_unpackhi_epi8(v, zero);
    squares = _mm_add_epi32(squares, _mm_add_epi32(_mm_madd_epi16(lo, lo), _mm_madd_epi16(hi, hi)));
    p += 2 * static_cast<ptrdiff_t>(stride);
  }
  unsigned s =
      static_cast<unsigned>(_mm_cvtsi128_si32(sum) + _mm_cvtsi128_si32(_mm_srli_si128(sum, 8)));
  squares = _mm_add_epi32(squares, _mm_srli_si128(squares, 8));
  squares = _mm_add_epi32(squares, _mm_srli_si128(squares, 4));
  unsigned s2 = static_cast<unsigned>(_mm_cvtsi128_si32(squares));
  return s2 / 64.0 - (s / 64.0) * (s / 64.0);
}

void Average16(const uint8_t* a, int strideA, const uint8_t* b, int strideB, uint8_t* out,
               int strideOut) {
  for (int r = 0; r < 16; ++r) {
    __m128i va = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a));
    __m128i vb = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_avg_epu8(va, vb));
    a += strideA;
    b += strideB;
    out += strideOut;
  }
}

void BuildHalfPelPlanes(const uint8_t* src, int w, int h, uint8_t* horizontal, uint8_t* vertical,
                        uint8_t* both, int firstRow, int lastRow) {
  for (int y = firstRow; y < lastRow; ++y) {
    const uint8_t* a = src + static_cast<size_t>(y) * w;
    const uint8_t* c = y + 1 < h ? a + w : a;
    uint8_t* ho = horizontal + static_cast<size_t>(y) * w;
    uint8_t* vo = vertical + static_cast<size_t>(y) * w;
    uint8_t* bo = both + static_cast<size_t>(y) * w;
    int x = 0;
    const __m128i zero = _mm_setzero_si128();
    const __m128i two = _mm_set1_epi16(2);
    for (; x + 17 <= w; x += 16) {
      __m128i va = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + x));
      __m128i vb = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + x + 1));
      __m128i vc = _mm_loadu_si128(reinterpret_cast<const __m128i*>(c + x));
      __m128i vd = _mm_loadu_si128(reinterpret_cast<const __m128i*>(c + x + 1));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(ho + x), _mm_avg_epu8(va, vb));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(vo + x), _mm_avg_epu8(va, vc));
      __m128i lo =
          _mm_add_epi16(_mm_add_epi16(_mm_unpacklo_epi8(va, zero), _mm_unpacklo_epi8(vb, zero)),
                        _mm_add_epi16(_mm_unpacklo_epi8(vc, zero), _mm_unpacklo_epi8(vd, zero)));
      __m128i hi =
          _mm_add_epi16(_mm_add_epi16(_mm_unpackhi_epi8(va, zero), _mm_unpackhi_epi8(vb, zero)),
                        _mm_add_epi16(_mm_unpackhi_epi8(vc, zero), _mm_unpackhi_epi8(vd, zero)));
      lo = _mm_srli_epi16(_mm_add_epi16(lo, two), 2);
      hi = _mm_srli_epi16(_mm_add_epi16(hi, two), 2);
      _mm_storeu_si128(reinterpret_cast<__m128i*>(bo + x), _mm_packus_epi16(lo, hi));
    }
    for (; x < w; ++x) {
      int xb = x + 1 < w ? x + 1 : x;
      ho[x] = static_cast<uint8_t>((a[x] + a[xb] + 1) >> 1);
      vo[x] = static_cast<uint8_t>((a[x] + c[x] + 1) >> 1);
      bo[x] = static_cast<uint8_t>((a[x] + a[xb] + c[x] + c[xb] + 2) >> 2);
    }
  }
}

void BlockSums8(const uint8_t* src, int w, int h, uint16_t* sums, int firstRow, int lastRow) {
  uint16_t columns[4096 + 16];
  lastRow = std::min(lastRow, h - 7);
  for (int y = firstRow; y < lastRow; ++y) {
    const uint8_t* top = src + static_cast<size_t>(y) * w;
    if (y == firstRow) {
      for (int x = 0; x < w; ++x) {
        unsigned c = 0;
        for (int r = 0; r < 8; ++r) c += top[static_cast<size_t>(r) * w + x];
        columns[x] = static_cast<uint16_t>(c);
      }
    } else {
      // Slide the eight-row column sums down by one row.
      const uint8_t* leaving = top - w;
      const uint8_t* entering = top + static_cast<size_t>(7) * w;
      for (int x = 0; x < w; ++x)
        columns[x] = static_cast<uint16_t>(columns[x] - leaving[x] + entering[x]);
    }
    uint16_t* out = sums + static_cast<size_t>(y) * w;
    unsigned run = 0;
    for (int x = 0; x < 8 && x < w; ++x) run += columns[x];
    for (int x = 0; x + 8 <= w; ++x) {
      out[x] = static_cast<uint16_t>(run);
      if (x + 8 < w) run += columns[x + 8] - columns[x];
    }
  }
}

}  // namespace quendrolix
