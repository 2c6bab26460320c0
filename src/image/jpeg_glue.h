#pragma once

// JPEG stills through libjpeg(-turbo).

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>

#include "platform/gdi/dib.h"

namespace quendrolix {

// Decodes a JPEG file into a 24-bit bottom-up block (grey pictures get equal red, green and
// blue; CMYK and YCCK pictures are mixed down to colour, Adobe's inverted inks included),
// turned upright by its EXIF orientation. Failures show their message box ("JPEG :\nCan't
// open %s\n", "JPG out of memory", the library's message titled "JPG Fatal Error", which
// also names pictures beyond the pixel budget or the file's bytes, and files damaged or cut
// short part-way) and give null; `failure`, when given, receives the message.
//
// `needed`, when given, tells what the caller will scale the picture to: it receives the
// upright size and changes it to the size wanted. The picture is then decoded at 1/2, 1/4
// or 1/8 of its size (far less work for a large photograph) when that divides both sides
// exactly, so the shape is kept, and is still at least the wanted size both ways.
HDIB ReadJpeg(const std::string& path, std::string* failure = nullptr,
              const std::function<void(int& width, int& height)>& needed = {});
// The same from an open stream; `name` is only for messages.
HDIB ReadJpegStream(std::FILE* file, const std::string& name, std::string* failure = nullptr,
                    const std::function<void(int& width, int& height)>& needed = {});

// The reduction (1, 2, 4 or 8) for a width x height picture wanted at least
// neededWidth x neededHeight: the largest that divides both sides and keeps them large enough.
int JpegReduction(int width, int height, int neededWidth, int neededHeight);

// Encodes top-down RGB rows (width x 3 bytes each, no padding) at the quality given, in
// colour or, with colour 0, as grey (each pixel (r + g + b) / 3). The file is replaced only
// when the whole picture was written.
bool WriteJpeg(const std::string& path, const uint8_t* rgb, int width, int height, int colour,
               int quality);

}  // namespace quendrolix
