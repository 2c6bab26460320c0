#pragma once

// Conversions between DIB pixel rows and screen bitmaps: the work behind BitmapFromDib
// and DibFromBitmap.

#include <cstddef>
#include <cstdint>

#include "platform/gdi/dib.h"
#include "platform/gdi/gdi.h"

namespace quendrolix {

// A screen bitmap made from DIB rows: 1, 4 and 8 bits through the colour table (indices
// past its end give black), 16 bits as 5-5-5, 24 bits, 32 bits, and 16 or 32 bits with
// BI_BITFIELDS masks (taken from `masks` when given, else from a 52-byte or longer
// header). Rows are bottom-up for a positive height, top-down for a negative one. Null
// when the header is not one we take, the rows are shorter than the header promises, or
// the picture is too large.
HBITMAP BitmapFromDibBits(const BITMAPINFOHEADER& header, const RGBQUAD* colours,
                          size_t colourCount, const uint32_t* masks, const uint8_t* bits,
                          size_t bitsSize);

// Reads a bitmap out as bottom-up DIB rows of `bitCount` bits (1, 4, 8, 16 as 5-5-5, 24,
// 32). For 8 bits or fewer every pixel becomes the index of the nearest of the first
// 2^bitCount palette entries and those entries fill `colours` (the rest of it zeroed); with
// no palette a default one of that depth is used, and a monochrome bitmap read at 1 bit
// gives black and white. False when `bitsSize` cannot hold the rows or the depth is not one
// of these.
bool DibBitsFromBitmap(const Bitmap& bitmap, int bitCount, const Palette* palette, RGBQUAD* colours,
                       size_t colourCount, uint8_t* bits, size_t bitsSize);

// The whole block: header, colour table (masks after a 40-byte BI_BITFIELDS header) and
// rows, checked with DibIsConsistent first. `pixels`, when given, is where the rows are
// instead (inside the block).
HBITMAP BitmapFromDibBlock(const DibBlock& dib, const uint8_t* pixels = nullptr);

}  // namespace quendrolix
