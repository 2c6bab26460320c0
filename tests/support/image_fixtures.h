#pragma once

// Helpers of the image tests: pictures with known pixels, pixel read-out of a CBmp, and
// ImageMagick's decoding of a file for comparison.

#include <cstdint>
#include <string>
#include <vector>

#include "support/test_support.h"

#include "image/cbmp.h"
#include "platform/gdi/dib.h"
#include "platform/gdi/gdi.h"

namespace quendrolix::testing {

// A screen bitmap whose pixels vary in every channel (x, y and a seed mixed).
HBITMAP PatternBitmap(int width, int height, int seed = 0);
// The picture's pixels as top-down RGB triples; empty when it has no bitmap.
std::vector<uint8_t> RgbOf(const Bitmap& bitmap);
std::vector<uint8_t> RgbOf(const CBmp& picture);
// A block's pixels as top-down RGB triples, through its colour table where it has one.
std::vector<uint8_t> RgbOfDib(const DibBlock& dib);

// ImageMagick's reading of a file as top-down RGB (orientation applied, alpha dropped),
// with its size; false when it could not read it.
// `frame` picks a page or image of a file that holds several.
bool ImageMagickRgb(const std::string& path, std::vector<uint8_t>& rgb, int& width, int& height,
                    int frame = 0);
// Runs /usr/bin/convert with the arguments (a shell-quoted string); true on exit 0.
bool RunImageMagick(const std::string& arguments);

// The photographs (paths of the wallpaper package) squeezed to width x height 24-bit BMP
// files named after them in `folder`, by ImageMagick. Empty, with the reason in `missing`,
// when the package or ImageMagick is not installed.
std::vector<std::string> PhotoBitmaps(const std::vector<std::string>& photos,
                                      const std::string& folder, int width, int height,
                                      std::string& missing);

// Largest difference of any channel, and the PSNR in dB (infinity when equal).
int MaxChannelDifference(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b);

// A GIF89a whose only image has a local colour table of 2^localBits entries (the global
// table, of 2 entries, is something else), coded with plain LZW.
std::vector<uint8_t> GifWithLocalTable(int width, int height, int localBits,
                                       const std::vector<uint8_t>& localRgb,
                                       const std::vector<int>& pixels);

// A classic little-endian TIFF with one strip, made from tags (tag, type, count, value or
// the bytes of the value) and pixel bytes; for files no writer would make.
struct TiffTag {
  uint16_t tag;
  uint16_t type;  // 3 SHORT, 4 LONG, 5 RATIONAL
  std::vector<uint32_t> values;
};
std::vector<uint8_t> BuildTiff(std::vector<TiffTag> tags, const std::vector<uint8_t>& pixels);

}  // namespace quendrolix::testing
