#pragma once

// Our own PCX reader and writer.

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/gdi/dib.h"
#include "platform/gdi/gdi.h"

namespace quendrolix {

// Reads a PCX image of 1 bit in 1 or 4 planes, 4 or 8 bits in 1 plane, or 8 bits in 3
// planes from a stream (a file or a memory block), into a block of 1, 4, 8 or 24 bits with
// its colour table and a palette of the same entries (null for 24 bits). False when the
// header is not one we take, is short, or the picture cannot be had: beyond the pixel
// budget, more than the file's bytes can code, or run-length data that ends early.
bool ReadPcx(std::FILE* stream, HDIB& dib, HPALETTE& palette);
bool ReadPcxFile(const std::string& path, HDIB& dib, HPALETTE& palette);

// Writes a 1-, 4-, 8- or 24-bit block as a version 5 PCX file, colour table included
// (the header's 16-entry palette for 2 and 16 colours, 0x0C and 768 bytes at the end for
// 256). The file is replaced only when all of it was written.
bool WritePcx(const std::string& path, const DibBlock& dib);
// Stores a colour table of 2, 16 or 256 entries in an existing PCX file and marks it
// version 5 (WritePcx already does this for its own files).
bool WritePcxPalette(const std::string& path, const RGBQUAD* colours, uint32_t count);

// The run-length code of one line: runs of up to 63 equal bytes; a run longer than one
// byte, or a single byte of 0xC0 or more, becomes 0xC0 + length followed by the value.
void EncodePcxLine(const uint8_t* line, size_t size, std::vector<uint8_t>& out);

}  // namespace quendrolix
