#pragma once

// Our own GIF reader: the first image of a file, as a DIB block of 1, 4 or 8 bits.

#include <cstdint>
#include <cstdio>
#include <string>

#include "platform/gdi/dib.h"

namespace quendrolix {

struct GifImageInfo {
  uint8_t backgroundRed = 0, backgroundGreen = 0, backgroundBlue = 0;
  uint16_t left = 0, top = 0;
  uint32_t disposal = 0;
  uint32_t transparent = 0;  // 1 when the graphic control extension names a transparent index
  uint32_t delay = 0;        // hundredths of a second
  uint32_t transparentIndex = 0;
};

constexpr int kGifStatusOk = 200;
constexpr int kGifStatusCannotOpen = 201;
constexpr int kGifStatusNoMemory = 202;   // also pictures beyond the pixel budget
constexpr int kGifStatusShortData = 203;  // fewer pixels in the file than the picture has

// Reads the first image (the loader passes both offsets as 0). A non-zero image offset is
// the file position at which block reading starts instead, for readers that step through
// the images of an animation; the second offset is kept for them and not used here. Null
// when the file is not a GIF, has no image, or cannot be read; `status` says why where it
// can (200 on entry, 201 cannot open, 202 out of memory or a picture beyond the limits,
// 203 pixel data that ends or breaks off with an impossible code before the picture is
// complete, or a file too short for the picture it claims).
HDIB ReadGif(const std::string& path, long imageOffset, long secondImageOffset, GifImageInfo* info,
             int* status);
HDIB ReadGifStream(std::FILE* file, long imageOffset, GifImageInfo* info, int* status);

}  // namespace quendrolix
