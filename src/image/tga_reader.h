#pragma once

// Our own TGA reader.

#include <cstdio>
#include <string>

#include "platform/gdi/dib.h"

namespace quendrolix {

constexpr int kTgaStatusNotAccepted = 108;  // also the starting value
constexpr int kTgaStatusCannotOpen = 109;
constexpr int kTgaStatusNoMemory = 104;  // also pictures beyond the size limits
constexpr int kTgaStatusReadFailed = 105;

// Reads image types 1, 3, 9 and 11 at 8 bits per pixel and types 2 and 10 at 15, 16, 24 or
// 32 bits, into an 8-bit block with a 256-entry table or a 24-bit block. Null on failure,
// with `status` saying why.
HDIB ReadTga(const std::string& path, int* status);
HDIB ReadTgaStream(std::FILE* file, int* status);

}  // namespace quendrolix
