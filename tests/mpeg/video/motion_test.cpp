#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "mpeg/video/motion_estimation.h"
#include "mpeg/video/pixel_kernels.h"
#include "mpeg/video/vlc_tables.h"

namespace quendrolix {
namespace {

TEST(PixelKernelsTest, VectorRoutinesMatchThePlainOnesOnTheSameBuffers) {
  std::mt19937 random(7);
  std::vector<uint8_t> a(64 * 40), b(64 * 40);
  for (int trial = 0; trial < 3000; ++trial) {
    int kind = trial % 4;
    for (size_t i = 0; i < a.size(); ++i) {
      a[i] = kind == 0   ? random() & 255
             : kind == 1 ? 255
             : kind == 2 ? (i & 1) * 255
                         : random() & 3;
      b[i] = kind == 0   ? random() & 255
             : kind == 1 ? 0
             : kind == 2 ? ((i + 1) & 1) * 255
                         : random() & 3;
    }
    int offsetA = random() % 48, offsetB = random() % 48, strideA = 64 - (random() % 2) * 16;
    const uint8_t* pa = a.data() + offsetA;
    const uint8_t* pb = b.data() + offsetB;
    int full = Sad16Plain(pa, strideA, pb, 64, 1 << 30);
    ASSERT_EQ(Sad16Sse2(pa, strideA, pb, 64, 1 << 30), full);
    for (int limit : {1, full / 3, full, full + 1, 65536}) {
      int plain = Sad16Plain(pa, strideA, pb, 64, limit);
      int vector = Sad16Sse2(pa, strideA, pb, 64, limit);
      if (plain < limit) {
        ASSERT_EQ(vector, plain);
      } else {
        ASSERT_GE(vector, limit);
      }
    }
    ASSERT_EQ(Sse16Sse2(pa, strideA, pb, 64), Sse16Plain(pa, strideA, pb, 64));
    // The activity measure: s2 / 64 - (s / 64)^2 of the 8x8 block, exactly.
    double s = 0, s2 = 0;
    for (int r = 0; r < 8; ++r)
      for (int c = 0; c < 8; ++c)
        s += pa[r * strideA + c], s2 += pa[r * strideA + c] * pa[r * strideA + c];
    ASSERT_EQ(BlockVariance8(pa, strideA), s2 / 64.0 - (s / 64.0) * (s / 64.0));
  }
  std::vector<uint8_t> white(16 * 16, 255), black(16 * 16, 0);
  EXPECT_EQ(Sad16Sse2(white.data(), 16, black.data(), 16, 1 << 30), 255 * 256);
  EXPECT_EQ(Sse16Sse2(white.data(), 16, black.data(), 16), 255 * 255 * 256);
  EXPECT_EQ(MacroblockVariance(white.data(), 16), 0);
}

TEST(PixelKernelsTest, HalfPelPlanesRoundUp) {
  const int w = 40, h = 3;
  std::vector<uint8_t> src(w * h), hp(w * h), vp(w * h), bp(w * h);
  for (int i = 0; i < w * h; ++i) src[i] = static_cast<uint8_t>((i * 37) % 256);
  BuildHalfPelPlanes(src.data(), w, h, hp.data(), vp.data(), bp.data(), 0, h);
  for (int y = 0; y + 1 < h; ++y)
    for (int x = 0; x + 1 < w; ++x) {
      int a = src[y * w + x], b = src[y * w + x + 1], c = src[(y + 1) * w + x],
          d = src[(y + 1) * w + x + 1];
      ASSERT_EQ(hp[y * w + x], (a + b + 1) >> 1);
      ASSERT_EQ(vp[y * w + x], (a + c + 1) >> 1);
      ASSERT_EQ(bp[y * w + x], (a + b + c + d + 2) >> 2);
    }
}

// A reference plane that is flat except where a test puts a copy of the macroblock.
struct Scene {
  static constexpr int W = 96, H = 80;
  std::vector<uint8_t> ref = std::vector<uint8_t>(W * H, 20);
  std::vector<uint8_t> cur = std::vector<uint8_t>(W * H, 20);
  std::vector<uint8_t> planes[3];
  ReferencePlanes Planes() {
    for (auto& p : planes) p.assign(W * H, 0);
    BuildHalfPelPlanes(ref.data(), W, H, planes[0].data(), planes[1].data(), planes[2].data(), 0,
                       H);
    ReferencePlanes r{};
    r.y[0] = ref.data();
    for (int i = 1; i < 4; ++i) r.y[i] = planes[i - 1].data();
    return r;
  }
  void Pattern(std::vector<uint8_t>& plane, int x, int y) {
    for (int r = 0; r < 16; ++r)
      for (int c = 0; c < 16; ++c)
        plane[(y + r) * W + x + c] = static_cast<uint8_t>(60 + r * 9 + c * 5);
  }
};

TEST(FullSearchTest, FindsTheDisplacedBlock) {
  Scene s;
  s.Pattern(s.cur, 32, 32);
  s.Pattern(s.ref, 39, 27);
  ReferencePlanes planes = s.Planes();
  SearchResult r = FullSearch(s.ref.data(), planes, s.cur.data() + 32 * Scene::W + 32, 32, 32, 11,
                              11, Scene::W, Scene::H);
  EXPECT_EQ(r.x2, 78);
  EXPECT_EQ(r.y2, 54);
  EXPECT_EQ(r.sad, 0);
}

TEST(FullSearchTest, TiesGoToTheCentreThenInnerRingsThenRingOrder) {
  Scene s;
  // Flat everywhere: every point ties, the centre wins the integer search and the first
  // half-pel position around it (up and left) wins the refinement.
  ReferencePlanes planes = s.Planes();
  SearchResult r = FullSearch(s.ref.data(), planes, s.cur.data() + 32 * Scene::W + 32, 32, 32, 3, 3,
                              Scene::W, Scene::H);
  EXPECT_EQ(r.x2, 63);
  EXPECT_EQ(r.y2, 63);

  // Two exact matches on ring 2: (x - 2, y + 2) comes after (x + 2, y - 2) in the ring's
  // order (right along the top, down the right, left along the bottom, up the left).
  Scene t;
  t.Pattern(t.cur, 32, 32);
  t.Pattern(t.ref, 30, 34);
  t.Pattern(t.ref, 34, 30);
  planes = t.Planes();
  r = FullSearch(t.ref.data(), planes, t.cur.data() + 32 * Scene::W + 32, 32, 32, 3, 3, Scene::W,
                 Scene::H);
  EXPECT_EQ(r.x2, 68);
  EXPECT_EQ(r.y2, 60);

  // An exact match on ring 1 beats one on ring 2 that comes first in raster order.
  Scene u;
  u.Pattern(u.cur, 32, 32);
  u.Pattern(u.ref, 30, 30);
  u.Pattern(u.ref, 33, 33);
  planes = u.Planes();
  r = FullSearch(u.ref.data(), planes, u.cur.data() + 32 * Scene::W + 32, 32, 32, 3, 3, Scene::W,
                 Scene::H);
  EXPECT_EQ(r.x2, 66);
  EXPECT_EQ(r.y2, 66);
}

TEST(FullSearchTest, CornerWindowAndHalfPelStayInsideThePicture) {
  Scene s;
  s.Pattern(s.cur, 0, 0);
  s.Pattern(s.ref, 5, 3);
  ReferencePlanes planes = s.Planes();
  SearchResult r = FullSearch(s.ref.data(), planes, s.cur.data(), 0, 0, 11, 11, Scene::W, Scene::H);
  EXPECT_EQ(r.x2, 10);
  EXPECT_EQ(r.y2, 6);
  // Flat picture: the corner itself, and no half-pel position before it.
  Scene flat;
  planes = flat.Planes();
  r = FullSearch(flat.ref.data(), planes, flat.cur.data(), 0, 0, 11, 11, Scene::W, Scene::H);
  EXPECT_EQ(r.x2, 0);
  EXPECT_EQ(r.y2, 0);
  // Bottom-right corner: no half-pel position past it.
  int x = Scene::W - 16, y = Scene::H - 16;
  r = FullSearch(flat.ref.data(), planes, flat.cur.data() + y * Scene::W + x, x, y, 11, 11,
                 Scene::W, Scene::H);
  EXPECT_EQ(r.x2, 2 * x - 1);  // all tie; the first visited half-pel position wins
  EXPECT_EQ(r.y2, 2 * y - 1);
}

TEST(ModeDecisionTest, PredictedMacroblocksAtTheBounds) {
  int var = 0;
  EXPECT_EQ(DecidePredictedMode(var, 3000, 5000), kMbIntra);  // flat block, SSE 3000
  var = 0;
  EXPECT_EQ(DecidePredictedMode(var, 2000, 5000), kMbForward);
  EXPECT_EQ(var, 2000);
  var = 0;
  EXPECT_EQ(DecidePredictedMode(var, 2304, 5000), kMbIntra);  // 2304 is not below the bound
  var = 0;
  EXPECT_EQ(DecidePredictedMode(var, 2303, 5000), kMbForward);
  var = 10000;
  EXPECT_EQ(DecidePredictedMode(var, 3000, 2303), 0);  // zero vector below the bound
  EXPECT_EQ(var, 2303);
  var = 10000;
  EXPECT_EQ(DecidePredictedMode(var, 3000, 3750), 0);  // 4 x 3750 = 5 x 3000
  var = 10000;
  EXPECT_EQ(DecidePredictedMode(var, 3000, 3751), kMbForward);
}

TEST(ModeDecisionTest, BidirectionalTiesPreferForwardThenBackward) {
  int var = 100000;
  EXPECT_EQ(DecideBidirectionalMode(var, 500, 500, 500), kMbForward);
  var = 100000;
  EXPECT_EQ(DecideBidirectionalMode(var, 600, 500, 500), kMbBackward);
  var = 100000;
  EXPECT_EQ(DecideBidirectionalMode(var, 600, 500, 400), kMbForward | kMbBackward);
  EXPECT_EQ(var, 400);
  var = 0;
  EXPECT_EQ(DecideBidirectionalMode(var, 2304, 3000, 3000), kMbIntra);
  var = 0;
  EXPECT_EQ(DecideBidirectionalMode(var, 2303, 3000, 3000), kMbForward);
}

}  // namespace
}  // namespace quendrolix

namespace quendrolix {
namespace {

TEST(FullSearchTest, LowerBoundsNeverChangeTheResult) {
  std::mt19937 random(11);
  const int W = 80, H = 64;
  for (int trial = 0; trial < 40; ++trial) {
    std::vector<uint8_t> ref(W * H), cur(W * H), planes[3], sums(W * H * 2);
    int smooth = trial % 3;  // noise, gradients, and gradients with noise
    for (int i = 0; i < W * H; ++i) {
      int x = i % W, y = i / W;
      int g = smooth ? (x * 3 + y * 2 + trial) & 255 : 0;
      ref[i] = static_cast<uint8_t>(smooth == 1 ? g : (g + random() % 64) & 255);
      cur[i] = static_cast<uint8_t>(smooth == 1 ? (g + 7) & 255 : (g + random() % 64) & 255);
    }
    for (auto& p : planes) p.assign(W * H, 0);
    BuildHalfPelPlanes(ref.data(), W, H, planes[0].data(), planes[1].data(), planes[2].data(), 0,
                       H);
    std::vector<uint16_t> table(W * H);
    BlockSums8(ref.data(), W, H, table.data(), 0, H);
    ReferencePlanes r{};
    r.y[0] = ref.data();
    for (int i = 1; i < 4; ++i) r.y[i] = planes[i - 1].data();
    for (int y = 0; y + 16 <= H; y += 16)
      for (int x = 0; x + 16 <= W; x += 16) {
        const uint8_t* mb = cur.data() + y * W + x;
        SearchResult plain = FullSearch(ref.data(), r, mb, x, y, 11, 11, W, H);
        SearchResult bounded = FullSearch(ref.data(), r, mb, x, y, 11, 11, W, H, table.data());
        ASSERT_EQ(plain.x2, bounded.x2);
        ASSERT_EQ(plain.y2, bounded.y2);
        ASSERT_EQ(plain.sad, bounded.sad);
      }
    // The table holds every 8x8 sum.
    ASSERT_EQ(table[3 * W + 5], [&] {
      int s = 0;
      for (int r2 = 0; r2 < 8; ++r2)
        for (int c = 0; c < 8; ++c) s += ref[(3 + r2) * W + 5 + c];
      return s;
    }());
  }
}

}  // namespace
}  // namespace quendrolix
