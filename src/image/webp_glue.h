#pragma once

// WebP stills through libwebp. An animated WebP gives its first frame.

#include <cstdint>
#include <cstdio>
#include <string>

#include "platform/gdi/dib.h"

namespace quendrolix {

// Decodes a WebP file into a 24-bit block, or a 32-bit one (blue, green, red, alpha) when
// the picture has an alpha channel; turned upright by its EXIF orientation. Null on
// failure, with the reason in `message` ("not a WebP picture that can be read", a picture
// beyond the pixel budget or the file's bytes, a damaged file).
HDIB ReadWebp(const std::string& path, std::string& message);
HDIB ReadWebpMemory(const uint8_t* data, size_t size, std::string& message);

// True when the bytes start like a WebP file (RIFF, "WEBP").
bool LooksLikeWebp(const uint8_t* data, size_t size);

}  // namespace quendrolix
