#pragma once

// PNG stills through libpng.

#include <cstdio>
#include <string>

#include "platform/gdi/dib.h"

namespace quendrolix {

// Decodes a PNG file into a block of 1, 4, 8 (palette or grey; 2-bit pictures become 8
// bits with 4 entries), 24 (RGB) or 32 bits (RGBA; grey with alpha, and any picture with a
// transparency chunk); 16-bit samples are reduced to 8. On failure `message` says why
// ("This is not a valid PNG File!", "Can't open file: %s", "Can't allocate memory",
// "Sorry!\nThis File is toooo big for me." beyond the pixel budget, a file too short for
// the picture it claims, a file damaged or cut short part-way: no half-black picture).
HDIB ReadPng(const std::string& path, std::string& message);
HDIB ReadPngStream(std::FILE* file, std::string& message);

// Writes a block: palette pictures at 1, 4 or 8 bits, RGB for 16 and 24 bits, RGBA for 32.
// The file is replaced only when all of it was written.
bool WritePng(const std::string& path, const DibBlock& dib);

}  // namespace quendrolix
