#include "image/gif/gif_lzw.h"

#include <gtest/gtest.h>

#include <random>

#include "support/gif_fixtures.h"

namespace quendrolix {
namespace {
using testing::DecodeGifLzw;

std::vector<uint8_t> RoundTrip(int minCodeSize, const std::vector<uint8_t>& indices) {
  auto codes = GifLzwEncoder(minCodeSize).Encode(indices.data(), indices.size());
  return DecodeGifLzw(minCodeSize, codes, indices.size());
}

TEST(GifLzw, RoundTripsEveryCodeSizeAndShape) {
  std::mt19937 random(1234);
  for (int bits = 2; bits <= 8; ++bits) {
    SCOPED_TRACE(bits);
    const int alphabet = 1 << bits;
    // Sizes around the first width changes, runs that make the code being defined appear
    // at once, noise that fills the table many times over, and smooth ramps.
    for (size_t n : {size_t{0}, size_t{1}, size_t{2}, size_t{3}, size_t{7}, size_t{300},
                     size_t{5000}, size_t{70000}}) {
      std::vector<uint8_t> noise(n), runs(n), ramp(n);
      for (size_t i = 0; i < n; ++i) {
        noise[i] = static_cast<uint8_t>(random() % alphabet);
        runs[i] = static_cast<uint8_t>((i / (1 + i % 17)) % 2 ? alphabet - 1 : 0);
        ramp[i] = static_cast<uint8_t>((i / 37 + (random() % 3)) % alphabet);
      }
      ASSERT_EQ(RoundTrip(bits, noise), noise) << n;
      ASSERT_EQ(RoundTrip(bits, runs), runs) << n;
      ASSERT_EQ(RoundTrip(bits, ramp), ramp) << n;
    }
  }
  // One long run: the table grows by ever longer strings of one colour.
  std::vector<uint8_t> flat(1 << 20, 3);
  EXPECT_EQ(RoundTrip(2, flat), flat);
}

TEST(GifLzw, StartsWithAClearCodeAndKeepsTheCodeWidthInBounds) {
  std::mt19937 random(7);
  std::vector<uint8_t> noise(200000);
  for (auto& v : noise) v = static_cast<uint8_t>(random());
  auto codes = GifLzwEncoder(8).Encode(noise.data(), noise.size());
  // The first 9-bit code is the clear code 256.
  EXPECT_EQ(codes[0] | (codes[1] & 1) << 8, 256);
  // Random bytes hardly compress: about 12 bits per byte once the table is full, never
  // more (a width past 12 bits or a table never cleared would show here).
  double bitsPerIndex = codes.size() * 8.0 / noise.size();
  EXPECT_GT(bitsPerIndex, 9.0);
  EXPECT_LT(bitsPerIndex, 12.0);
  // A flat picture compresses to almost nothing.
  std::vector<uint8_t> flat(640 * 480, 5);
  EXPECT_LT(GifLzwEncoder(8).Encode(flat.data(), flat.size()).size(), 2000u);
}

TEST(GifLzw, MinimumCodeSizeAndSubBlocks) {
  EXPECT_EQ(GifMinCodeSize(1), 2);
  EXPECT_EQ(GifMinCodeSize(2), 2);
  EXPECT_EQ(GifMinCodeSize(4), 2);
  EXPECT_EQ(GifMinCodeSize(5), 3);
  EXPECT_EQ(GifMinCodeSize(128), 7);
  EXPECT_EQ(GifMinCodeSize(256), 8);

  std::vector<uint8_t> data(600);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i);
  std::vector<uint8_t> out;
  AppendGifSubBlocks(out, data);
  ASSERT_EQ(out.size(), 600u + 4u);  // 255 + 255 + 90, three length bytes and the end
  EXPECT_EQ(out[0], 255);
  EXPECT_EQ(out[256], 255);
  EXPECT_EQ(out[512], 90);
  EXPECT_EQ(out[513], 0 + 510 % 256);
  EXPECT_EQ(out.back(), 0);
  out.clear();
  AppendGifSubBlocks(out, {});
  EXPECT_EQ(out, std::vector<uint8_t>{0});
}

}  // namespace
}  // namespace quendrolix
