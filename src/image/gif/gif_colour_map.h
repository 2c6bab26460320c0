#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace quendrolix {

// Colour reduction for GIF output: a colour map of at most 256 entries built from a
// true-colour picture, and the mapping of pictures onto such a map with error diffusion.
//
// Pictures here are top-down rows of red, green, blue bytes without padding.
//
// The map is built by a variance-based median cut over a histogram of 5 bits per channel
// (each cell keeps the exact mean of its pixels, not the cell centre), refined by a few
// rounds of k-means. Distances are measured in a weighted RGB space (red 3, green 4,
// blue 2), close to how strongly the eye tells the channels apart, without leaving RGB.
// A picture with no more distinct colours than the map may hold gets exactly its colours.

struct GifRgb {
  uint8_t r = 0, g = 0, b = 0;
  bool operator==(const GifRgb&) const = default;
};

// Channel weights of the colour distance.
constexpr int kGifWeightRed = 3;
constexpr int kGifWeightGreen = 4;
constexpr int kGifWeightBlue = 2;

// The colour map of a picture: at most `maxColours` (1 to 256) entries. Pixels of exactly
// the colour `skip` are left out (they get a palette entry of their own elsewhere).
std::vector<GifRgb> BuildGifColourMap(const uint8_t* rgb, size_t pixelCount, int maxColours,
                                      const std::optional<GifRgb>& skip = std::nullopt,
                                      int refinementRounds = 3);

// The colour that covers most pixels (ties: the lowest red, green, blue value); none for an
// empty picture.
std::optional<GifRgb> MostFrequentGifColour(const uint8_t* rgb, size_t pixelCount);

// Maps pictures onto one colour map with serpentine Floyd-Steinberg error diffusion of
// three quarters of each pixel's error.
//
// Nearest entries are found exactly: the colour space is cut into cells of 4 levels per
// channel, and each cell, when first met, gets the short list of entries that can be the
// nearest for any colour inside it; a pixel then only compares those.
//
// With a key entry, pixels of exactly the key colour take that entry and pass no error
// on, and no other pixel ever takes it (the key entry is the transparent one).
class GifColourMapper {
 public:
  explicit GifColourMapper(std::vector<GifRgb> palette, int keyIndex = -1, GifRgb keyColour = {});
  // Writes width x height indices, top-down. `dither` off maps each pixel to its nearest
  // entry alone.
  void Map(const uint8_t* rgb, int width, int height, uint8_t* indices, bool dither = true);
  // The entry nearest to a colour (the key entry excluded).
  uint8_t Nearest(int r, int g, int b);
  const std::vector<GifRgb>& palette() const { return palette_; }

 private:
  const uint16_t* Candidates(int r, int g, int b);

  std::vector<GifRgb> palette_;
  int keyIndex_;
  GifRgb keyColour_;
  std::vector<uint32_t> cellStart_;  // per cell: offset into pool_, or kUnset
  std::vector<uint16_t> pool_;       // per met cell: count, then the candidate entries
};

}  // namespace quendrolix
