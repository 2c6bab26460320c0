#pragma once

// What a picture reader may allocate: a pixel budget (a setting: "MaxMegapixels" of section
// "General", 100 megapixels when missing) and a bound from the bytes the file really has.
// Readers check both before they allocate anything for the pixels, so a short file that
// claims a huge picture is refused at once instead of filling memory.

#include <cstdint>

namespace quendrolix {

constexpr int kDefaultPictureMegapixels = 100;

// The budget in megapixels; values below 1 restore the default.
void SetPictureMegapixels(int megapixels);
int PictureMegapixels();
// The budget in pixels, never above the hard limit of the DIB blocks.
int64_t PicturePixelBudget();

// True when a width x height picture is within the budget (and both sides are positive
// and within the largest dimension any block may have).
bool PictureWithinBudget(int64_t width, int64_t height);

// True when `fileBytes` of coded data can decode to `decodedBytes` given the format's best
// compression ratio (decoded bytes per coded byte; 1 for uncompressed data).
bool CodedBytesCanHold(uint64_t fileBytes, uint64_t decodedBytes, uint64_t bestRatio);

// Best ratios of the codings the readers meet, as decoded bytes per coded byte. Each is a
// little above what the coding can reach, so that no real file is refused.
constexpr uint64_t kRatioPackBits = 64;   // 128 bytes from a 2-byte run
constexpr uint64_t kRatioPcxRle = 32;     // 63 bytes from a 2-byte run
constexpr uint64_t kRatioTgaRle = 128;    // 128 pixels from a count and one pixel
constexpr uint64_t kRatioDeflate = 1040;  // zlib's limit is 1032:1
constexpr uint64_t kRatioLzw = 2800;      // a 12-bit code stands for at most 4,095 bytes
// JPEG in pixels per coded byte: Huffman coding spends at least one bit on every 8x8 block
// of the full-resolution channel; arithmetic coding can go far below that.
constexpr uint64_t kJpegPixelsPerByte = 512;
constexpr uint64_t kArithmeticJpegPixelsPerByte = 32768;

// Background colour that pictures with an alpha channel are shown over (the screen
// background of the view, 0x00BBGGRR); light grey until the settings say otherwise.
void SetPictureBackground(uint32_t colourRef);
uint32_t PictureBackground();

}  // namespace quendrolix
