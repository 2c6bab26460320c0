#pragma once

#include <cstdint>

namespace quendrolix {

// Sum of absolute differences of two 16x16 blocks, accumulated row by row and abandoned
// once it reaches `limit`: the result is exact when below the limit, else some value at
// or above it. The plain routine checks after every row; the SSE2 one after every
// fourth. Both give the same answer to "is it below the limit, and what is it then".
int Sad16Plain(const uint8_t* a, int strideA, const uint8_t* b, int strideB, int limit);
int Sad16Sse2(const uint8_t* a, int strideA, const uint8_t* b, int strideB, int limit);
inline int Sad16(const uint8_t* a, int strideA, const uint8_t* b, int strideB, int limit) {
  return Sad16Sse2(a, strideA, b, strideB, limit);
}

// Sum of squared differences of two 16x16 blocks.
int Sse16Plain(const uint8_t* a, int strideA, const uint8_t* b, int strideB);
int Sse16Sse2(const uint8_t* a, int strideA, const uint8_t* b, int strideB);
inline int Sse16(const uint8_t* a, int strideA, const uint8_t* b, int strideB) {
  return Sse16Sse2(a, strideA, b, strideB);
}

// Variance of a 16x16 macroblock as the motion estimation measures it:
// sum(p^2) - ((sum p)^2 >> 8).
int MacroblockVariance(const uint8_t* p, int stride);

// Variance of an 8x8 block as rate control measures activity: s2 / 64 - (s / 64)^2.
double BlockVariance8(const uint8_t* p, int stride);

// (a + b + 1) >> 1 over 16x16 (the interpolated prediction).
void Average16(const uint8_t* a, int strideA, const uint8_t* b, int strideB, uint8_t* out,
               int strideOut);

// Sums of the 8x8 blocks at every position (x, y) with x <= w - 8 and y <= h - 8, for the
// output rows [firstRow, lastRow): the motion search's lower bounds of a SAD.
void BlockSums8(const uint8_t* src, int w, int h, uint16_t* sums, int firstRow, int lastRow);

// The three half-pel planes of a w x h plane: horizontal (a + b + 1) >> 1, vertical
// (a + c + 1) >> 1 and both (a + b + c + d + 2) >> 2. The last column (row) of a plane
// that needs a neighbour to the right (below) repeats the one before; no prediction ever
// reads it.
void BuildHalfPelPlanes(const uint8_t* src, int w, int h, uint8_t* horizontal, uint8_t* vertical,
                        uint8_t* both, int firstRow, int lastRow);

}  // namespace quendrolix
