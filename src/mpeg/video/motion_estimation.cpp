#include "mpeg/video/motion_estimation.h"

#include <emmintrin.h>

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <vector>

#include "mpeg/video/pixel_kernels.h"
#include "mpeg/video/vlc_tables.h"

namespace quendrolix {
namespace {

// The search order: ring l = 1, 2, ... starts at (-l, -l) and takes 8l steps, right for
// the first 2l, then down, left and up.
constexpr int kMaxRing = 15;
struct SpiralStep {
  int8_t dx, dy;
};
const SpiralStep* Spiral() {
  static const std::vector<SpiralStep> steps = [] {
    std::vector<SpiralStep> v;
    for (int l = 1; l <= kMaxRing; ++l) {
      int px = -l, py = -l;
      for (int step = 0; step < 8 * l; ++step) {
        v.push_back({static_cast<int8_t>(px), static_cast<int8_t>(py)});
        if (step < 2 * l)
          ++px;
        else if (step < 4 * l)
          ++py;
        else if (step < 6 * l)
          --px;
        else
          --py;
      }
    }
    return v;
  }();
  return steps.data();
}

}  // namespace

SearchResult FullSearch(const uint8_t* sourceReference, const ReferencePlanes& reconstructed,
                        const uint8_t* macroblock, int x, int y, int rangeX, int rangeY, int width,
                        int height, const uint16_t* referenceSums) {
  const int xmin = std::max(0, x - rangeX), xmax = std::min(width - 16, x + rangeX);
  const int ymin = std::max(0, y - rangeY), ymax = std::min(height - 16, y + rangeY);

  int bestX = x, bestY = y;
  int best =
      Sad16(macroblock, width, sourceReference + static_cast<size_t>(y) * width + x, width, 65536);
  // The sum of |quadrant sum differences| never exceeds the SAD.
  int quarters[4] = {0, 0, 0, 0};
  if (referenceSums) {
    // A row's byte sums against zero give its left and right halves at once.
    for (int half = 0; half < 2; ++half) {
      __m128i sums = _mm_setzero_si128();
      for (int r = 0; r < 8; ++r) {
        const uint8_t* row = macroblock + static_cast<size_t>(8 * half + r) * width;
        sums =
            _mm_add_epi64(sums, _mm_sad_epu8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(row)),
                                             _mm_setzero_si128()));
      }
      quarters[2 * half] = _mm_cvtsi128_si32(sums);
      quarters[2 * half + 1] = _mm_cvtsi128_si32(_mm_srli_si128(sums, 8));
    }
  }
  // The bounds of the whole window at once, eight points a step; each saturates at 65535,
  // which no SAD below the best reaches.
  constexpr int kBoundStride = 2 * kMaxRing + 1 + 7;
  alignas(16) uint16_t bounds[(2 * kMaxRing + 1) * kBoundStride];
  if (rangeX > kMaxRing || rangeY > kMaxRing) referenceSums = nullptr;  // beyond the spiral
  if (referenceSums) {
    const size_t down = static_cast<size_t>(8) * width;
    __m128i q[4];
    for (int k = 0; k < 4; ++k) q[k] = _mm_set1_epi16(static_cast<int16_t>(quarters[k]));
    for (int r = 0; r <= ymax - ymin; ++r) {
      const uint16_t* at = referenceSums + static_cast<size_t>(ymin + r) * width + xmin;
      for (int c = 0; c <= xmax - xmin; c += 8) {
        // Sums are at most 16320: signed 16-bit differences are exact.
        auto distance = [&](const uint16_t* p, __m128i quarter) {
          __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
          __m128i d = _mm_sub_epi16(v, quarter);
          return _mm_max_epi16(d, _mm_sub_epi16(_mm_setzero_si128(), d));
        };
        __m128i sum = _mm_adds_epu16(distance(at + c, q[0]), distance(at + c + 8, q[1]));
        sum = _mm_adds_epu16(sum, distance(at + c + down, q[2]));
        sum = _mm_adds_epu16(sum, distance(at + c + down + 8, q[3]));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(bounds + r * kBoundStride + c), sum);
      }
    }
  }
  const int rings = std::max(rangeX, rangeY);
  const SpiralStep* spiral = Spiral();
  const int points = std::min(rings, kMaxRing) * (std::min(rings, kMaxRing) + 1) * 4;
  // Away from the edges every point of the spiral lies in the window: no tests of place.
  const bool whole = referenceSums && rangeX == rangeY && rings <= kMaxRing && xmin == x - rings &&
                     xmax == x + rings && ymin == y - rings && ymax == y + rings;
  if (whole) {
    const uint16_t* centre = bounds + rings * kBoundStride + rings;
    const uint8_t* origin = sourceReference + static_cast<size_t>(y) * width + x;
    for (int i = 0; i < points; ++i) {
      const int dx = spiral[i].dx, dy = spiral[i].dy;
      if (centre[dy * kBoundStride + dx] >= best) continue;
      int sad =
          Sad16(macroblock, width, origin + static_cast<ptrdiff_t>(dy) * width + dx, width, best);
      if (sad < best) {
        best = sad;
        bestX = x + dx;
        bestY = y + dy;
      }
    }
  }
  for (int i = whole ? points : 0; i < points; ++i) {
    const int px = x + spiral[i].dx, py = y + spiral[i].dy;
    if (px < xmin || px > xmax || py < ymin || py > ymax) continue;
    if (referenceSums && bounds[(py - ymin) * kBoundStride + (px - xmin)] >= best) continue;
    int s = Sad16(macroblock, width, sourceReference + static_cast<size_t>(py) * width + px, width,
                  best);
    if (s < best) {
      best = s;
      bestX = px;
      bestY = py;
    }
  }

  // Half-pel refinement on the reconstruction: rows outer, columns inner, first smallest.
  SearchResult result;
  result.sad = 65536;
  const int y2Low = 2 * bestY - (bestY > 0 ? 1 : 0);
  const int y2High = 2 * bestY + (2 * bestY < 2 * (height - 16) ? 1 : 0);
  const int x2Low = 2 * bestX - (bestX > 0 ? 1 : 0);
  const int x2High = 2 * bestX + (2 * bestX < 2 * (width - 16) ? 1 : 0);
  for (int y2 = y2Low; y2 <= y2High; ++y2) {
    for (int x2 = x2Low; x2 <= x2High; ++x2) {
      // Abandoned once it cannot be the smallest: the choice and its SAD stay exact.
      int s =
          Sad16(macroblock, width, HalfPelBlock(reconstructed, x2, y2, width), width, result.sad);
      if (s < result.sad) {
        result.sad = s;
        result.x2 = x2;
        result.y2 = y2;
      }
    }
  }
  return result;
}

int DecidePredictedMode(int& var, int vmc, int vzero) {
  if (vmc > var && vmc >= kIntraThreshold) return kMbIntra;
  if (4 * vzero > 5 * vmc && vzero >= kIntraThreshold) {
    var = vmc;
    return kMbForward;
  }
  var = vzero;
  return 0;
}

int DecideBidirectionalMode(int& var, int vmcf, int vmcr, int vmci) {
  int flags, vmc;
  if (vmcf <= vmcr && vmcf <= vmci) {
    flags = kMbForward;
    vmc = vmcf;
  } else if (vmcr <= vmci) {
    flags = kMbBackward;
    vmc = vmcr;
  } else {
    flags = kMbForward | kMbBackward;
    vmc = vmci;
  }
  if (vmc > var && vmc >= kIntraThreshold) return kMbIntra;
  var = vmc;
  return flags;
}

}  // namespace quendrolix
