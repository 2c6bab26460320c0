#pragma once

#include <cstddef>
#include <cstdint>

namespace quendrolix {

// A reconstructed reference picture with its half-pel planes: index (vertical half << 1) |
// horizontal half, so plane 0 is the picture itself.
struct ReferencePlanes {
  const uint8_t* y[4];
  const uint8_t* cb[4];
  const uint8_t* cr[4];
};

struct SearchResult {
  int x2 = 0, y2 = 0;  // absolute position in half pels
  int sad = 0;
};

// Exhaustive integer search over the window around (x, y), visited as a spiral from the
// centre (ties keep the earlier point) with early-exit SADs on the source reference,
// then half-pel refinement on the reconstructed reference. `referenceSums` (BlockSums8 of
// the source reference, or null) lets points be passed over whose SAD cannot be below the
// best so far: the result is the same with or without them. Ranges go up to 15 full pels,
// the most that f_code 2 can carry.
SearchResult FullSearch(const uint8_t* sourceReference, const ReferencePlanes& reconstructed,
                        const uint8_t* macroblock, int x, int y, int rangeX, int rangeY, int width,
                        int height, const uint16_t* referenceSums = nullptr);

// The 16x16 luminance prediction at half-pel position (x2, y2) of a reference.
inline const uint8_t* HalfPelBlock(const ReferencePlanes& ref, int x2, int y2, int width) {
  return ref.y[((y2 & 1) << 1) | (x2 & 1)] + static_cast<size_t>(y2 >> 1) * width + (x2 >> 1);
}

// The SSE bound under which a prediction is always kept (9 x 256).
constexpr int kIntraThreshold = 2304;

// The mode of a P macroblock from its variance, the SSE of the best prediction (vmc) and of
// the zero vector (vzero): intra (kMbIntra), forward (kMbForward) or no motion
// compensation (0). `var` becomes the measure the later stages keep.
int DecidePredictedMode(int& var, int vmc, int vzero);
// The mode of a B macroblock from the SSE of the forward, backward and interpolated
// predictions: forward wins ties, then backward.
int DecideBidirectionalMode(int& var, int vmcf, int vmcr, int vmci);

}  // namespace quendrolix
