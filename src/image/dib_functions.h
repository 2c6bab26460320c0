#pragma once

// The functions on DIB blocks: palettes and screen bitmaps made from them, blocks made
// from bitmaps, and BMP files.

#include <cstdio>
#include <string>

#include "platform/gdi/dib.h"
#include "platform/gdi/gdi.h"

namespace quendrolix {

// Codes left in DibLastError by the functions below when they fail.
enum DibError {
  kDibErrorNone = 0,
  kDibErrorRead = 2,       // read failed (short or unreadable file)
  kDibErrorNotBitmap = 3,  // not a bitmap file (or one whose header cannot be right)
  kDibErrorMemory = 6,     // out of memory (or a picture beyond the size limits)
  kDibErrorPalette = 7,    // palette creation failed
  kDibErrorBitmap = 9,     // bitmap creation failed
};
// The code of the last failure, program-wide.
int DibLastError();
void SetDibLastError(int code);

// A palette of DibColourCount entries from the colour table; null for blocks without one
// (and then DibLastError is untouched), or null with code 7 when it cannot be made.
HPALETTE PaletteFromDib(const DibBlock& dib);
// A screen bitmap with the block's pixels (`pixels` overrides where the rows start); the
// palette is selected and realised on the way, as the screen would need. Null with code 9.
HBITMAP BitmapFromDib(const DibBlock& dib, const HPALETTE& palette,
                      const uint8_t* pixels = nullptr);
// A new block from a bitmap: bit count = planes x bits per pixel mapped 1 -> 1, 2..4 -> 4,
// 5..8 -> 8, 9..16 -> 16, above -> 24 (a screen bitmap gives 24 bits). Indices for 8 bits or
// fewer are the nearest entries of the palette (a default one when null). Null on failure.
HDIB DibFromBitmap(const Bitmap& bitmap, const HPALETTE& palette);
// As DibFromBitmap at a depth of the caller's choice (1, 4, 8, 16, 24 or 32).
HDIB DibFromBitmapAtDepth(const Bitmap& bitmap, int bitCount, const HPALETTE& palette);

// Writes "BM", the file header and the block. The file is replaced only when every byte
// was written.
bool SaveDibFile(const std::string& path, const DibBlock& dib);
// Reads a BMP file into a block with a 40-byte header, the colour table and bottom-up
// uncompressed rows (top-down, run-length and bit-field files are turned into that form).
// Every size is checked against the file's length. Null with code 3 (not a bitmap or a
// header we cannot take), 2 (pixels missing) or 6 (out of memory or too large).
HDIB LoadDibFile(const std::string& path);
HDIB LoadDibStream(std::FILE* file);

}  // namespace quendrolix
