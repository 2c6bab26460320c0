#pragma once

#include <cstdint>

namespace quendrolix {

// The 8x8 forward DCT in double precision: rows, then columns, each output
// floor(value + 0.499999). ForwardDct is the fast form (vector lanes, zero blocks skipped)
// and gives the same doubles as ForwardDctReference, the loops as defined.
void ForwardDct(int16_t block[64]);
void ForwardDctReference(int16_t block[64]);
// The basis c[u][x] = s(u) cos((2x + 1) u pi / 16), s(0) = 1/sqrt(8), s(u) = 1/2.
double DctBasis(int u, int x);

// The separable integer inverse DCT (rows, then columns), in place; output -256..255.
void InverseDct(int16_t block[64]);

// Quantisation with the default intra matrix or the flat non-intra matrix; mquant is
// even, 2..62. The non-intra form returns whether any level is non-zero.
void QuantIntra(const int16_t* src, int16_t* dst, int mquant);
bool QuantNonIntra(const int16_t* src, int16_t* dst, int mquant);
void DequantIntra(const int16_t* src, int16_t* dst, int mquant);
void DequantNonIntra(const int16_t* src, int16_t* dst, int mquant);

// The non-intra matrix: 16 everywhere.
inline constexpr int kNonIntraWeight = 16;

}  // namespace quendrolix
