#pragma once

// Helpers of the AVI builder's tests: image files with known pixels, the pixels a frame
// should have once composed, and what ffmpeg and ffprobe make of a movie.

#include <cstdint>
#include <string>
#include <vector>

#include "avi/frame_composition.h"
#include "platform/gdi/gdi.h"

namespace quendrolix::testing {

// Writes `bitmap` as a 24-bit BMP file at `path`; returns the path.
std::string WriteBmp(const std::string& path, const HBITMAP& bitmap);
// A BMP of the pattern picture (PatternBitmap) of that size and seed.
std::string WritePatternBmp(const std::string& path, int width, int height, int seed);
// A BMP of one colour with a square of another at (x, y), side `side`.
std::string WriteSquareBmp(const std::string& path, int width, int height, COLORREF background,
                           COLORREF square, int x, int y, int side);

// The top-down RGB triples a frame of `imagePath` should show once the logo is stamped and
// it is stored at `depth`: 24 keeps the colours, 16 keeps the top five bits of each (as
// ffmpeg shows rgb555 when asked for that format, see Rgb555Of), 8 maps every colour
// to its nearest entry of FramePalette().
std::vector<uint8_t> ExpectedFrameRgb(const std::string& imagePath, const FrameComposer& composer,
                                      int depth);
// Top-down RGB triples as little-endian 5-5-5 words.
std::vector<uint8_t> Rgb555Of(const std::vector<uint8_t>& rgb);

// ffmpeg's decoding of every video frame of `path` into raw `pixFmt` (rgb24, rgb555le),
// all frames one after the other. Empty when ffmpeg failed.
std::vector<uint8_t> FfmpegFrames(const std::string& path, const std::string& pixFmt);
// ffmpeg's decoding of the first audio stream as raw signed 16-bit little-endian samples.
std::vector<uint8_t> FfmpegAudioS16(const std::string& path);
// ffprobe's answer for one stream entry ("nb_read_frames", "codec_type", ...), one line per
// stream; `select` picks streams ("v:0", "" for all); `countFrames` adds -count_frames.
std::string FfprobeStreams(const std::string& path, const std::string& entry,
                           const std::string& select = "", bool countFrames = false);
// ffprobe's format duration in seconds (negative when unknown).
double FfprobeDuration(const std::string& path);
// Every error ffmpeg prints while decoding the whole file.
std::string FfmpegDecodeErrors(const std::string& path);

}  // namespace quendrolix::testing
