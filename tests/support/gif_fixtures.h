#pragma once

// Test helpers for the GIF writer: a reader of GIF files written independently of the
// writer (blocks, colour tables and our own LZW decoder), pictures as DIB blocks and BMP
// files, and picture comparison.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "support/test_support.h"

#include "platform/gdi/dib.h"

namespace quendrolix::testing {

// The LZW decoder of a GIF image: the indices of a packed code stream. Throws
// std::runtime_error on a code that cannot occur, a missing end code, or data after it.
std::vector<uint8_t> DecodeGifLzw(int minCodeSize, const std::vector<uint8_t>& codes,
                                  size_t expectedCount);

struct ParsedGifImage {
  // Graphic control extension before the image, if any.
  bool hasControl = false;
  int disposal = 0;
  bool transparentFlag = false;
  int transparentIndex = 0;
  int delay = 0;
  // Image descriptor.
  int left = 0, top = 0, width = 0, height = 0;
  bool interlaced = false;
  std::vector<uint8_t> localTable;  // r, g, b triples; empty without one
  int minCodeSize = 0;
  std::vector<uint8_t> indices;  // decoded, rows in display order (interlace undone)
};

struct ParsedGif {
  std::string signature;  // "GIF89a"
  int width = 0, height = 0;
  bool hasGlobalTable = false;
  int colourResolution = 0;
  int backgroundIndex = 0;
  std::vector<uint8_t> globalTable;
  std::optional<int> loopCount;         // from the looping application extension
  size_t loopExtensionPosition = 0;     // blocks before it (0: first after the screen/table)
  std::vector<std::string> blockOrder;  // "ext:FF", "ext:F9", "image", "trailer"
  std::vector<ParsedGifImage> images;
  bool trailer = false;

  // The colour of an image's pixel from the table in force.
  void Colour(const ParsedGifImage& image, size_t pixel, uint8_t rgb[3]) const;
};

// Parses a whole file; throws std::runtime_error on anything malformed.
ParsedGif ParseGif(const std::vector<uint8_t>& bytes);

// A bottom-up 24-bit DIB block of top-down RGB rows.
HDIB MakeDib24(int width, int height, const std::vector<uint8_t>& rgb);
// A 24-bit BMP file of top-down RGB rows.
void WriteBmp24(const std::string& path, int width, int height, const std::vector<uint8_t>& rgb);
// Top-down RGB of a picture filled with one colour.
std::vector<uint8_t> Solid(int width, int height, uint8_t r, uint8_t g, uint8_t b);

}  // namespace quendrolix::testing
