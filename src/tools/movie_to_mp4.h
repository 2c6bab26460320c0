#pragma once

// A movie the player reads (MPG, AVI, GIF, MP4) written again as an MP4 for web pages:
// every picture held as long as it shows, the sound decoded and coded as AAC.

#include <string>

namespace quendrolix {

// Writes `source` as the MP4 `target` at `framesPerSecond` (pictures are held for the
// whole frames nearest their own length, at least one). False with a reason when the
// source cannot be read or the MP4 not written; nothing is left at `target` then.
bool ConvertMovieToMp4(const std::string& source, const std::string& target, int framesPerSecond,
                       std::string* error);

}  // namespace quendrolix
