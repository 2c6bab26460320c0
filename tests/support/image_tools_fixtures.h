#pragma once

// Helpers of the frame tools' tests: AVIs of known frames (with or without sound) and
// multi-page TIFF files.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/gdi/dib.h"

namespace quendrolix::testing {

// A 24-bit AVI of `frames` uncompressed frames of w x h, frame t being MakeTestFrame(t +
// seed); returns the frames' top-down BGR pixels.
std::vector<std::vector<uint8_t>> WriteFramesAvi(const std::string& path, int frames, int width,
                                                 int height, int seed = 0, int bits = 24);
// The same AVI with a PCM sound stream after the video; returns the sound's data bytes.
std::vector<uint8_t> WriteFramesAviWithSound(const std::string& path, int frames, int width,
                                             int height);
// A TIFF of `pages` RGB pages of w x h; page p is the pattern picture of seed p. Returns
// each page's top-down RGB pixels.
std::vector<std::vector<uint8_t>> WriteMultiPageTiff(const std::string& path, int pages, int width,
                                                     int height);

}  // namespace quendrolix::testing
