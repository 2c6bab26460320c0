#pragma once

// Create's MP4 road: H.264 pictures and AAC sound, for the web and every player.

#include <string>

#include "tools/build_environment.h"

namespace quendrolix {

// True when the name ends in ".mp4" (any case).
bool IsMp4Name(const std::string& name);

// The MP4 road, with the AVI road's rules: the project's frame rate, every picture
// composed (logo) and shown for its count, the first picture's size; a later picture that
// cannot be loaded or has another size ends the movie there, with the AVI road's messages;
// with a sound, the sound decoded (any format the program reads) at its own rate up to 48
// kHz. The sound is opened before any picture is coded, so an unusable sound costs no
// work. Nothing is left at `output` on failure. "Adding %s..." per row with
// `addingMessages`, "Creating MP4 %s...", "MP4 completed" or "MP4 not saved".
bool BuildMp4(const CFramewrightDoc& doc, const FrameEntries& entries, const std::string& output,
              const std::string& soundFile, const BuildEnvironment& env,
              bool addingMessages = true);

}  // namespace quendrolix
