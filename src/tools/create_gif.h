#pragma once

// Create's GIF road.

#include <string>

#include "tools/build_environment.h"

namespace quendrolix {

// The GIF road: an animated GIF of the rows (logo stamped, as every other frame) with the
// "Gif Settings" options, each image shown for its count times the global delay. The first
// image must load; a later one that cannot be loaded or has another size ends the
// animation there, as on the AVI road, and the message says so. Nothing is left in place
// of `output` on failure. The project's sound is not carried: a GIF has none.
bool BuildGif(const CFramewrightDoc& doc, const FrameEntries& entries, const std::string& output,
              const BuildEnvironment& env);

}  // namespace quendrolix
