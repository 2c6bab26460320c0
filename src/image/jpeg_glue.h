#pragma once

// JPEG stills through libjpeg(-turbo).

#include <cstdint>
#include <cstdio>
#include <string>

#include "platform/gdi/dib.h"

namespace quendrolix {

// Decodes a JPEG file into a 24-bit bottom-up block (grey pictures get equal red, green and
// blue). Failures show their message box ("JPEG :\nCan't open %s\n", "JPG out of memory",
// the library's message titled "JPG Fatal Error") and give null.
HDIB ReadJpeg(const std::string& path);
// The same from an open stream; `name` is only for messages.
HDIB ReadJpegStream(std::FILE* file, const std::string& name);

// Encodes top-down RGB rows (width x 3 bytes each, no padding) at the quality given, in
// colour or, with colour 0, as grey (each pixel (r + g + b) / 3). The file is replaced only
// when the whole picture was written.
bool WriteJpeg(const std::string& path, const uint8_t* rgb, int width, int height, int colour,
               int quality);

}  // namespace quendrolix
