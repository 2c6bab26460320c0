#pragma once

// Create's AVI road.

#include <string>

#include "tools/build_environment.h"

namespace quendrolix {

// The AVI road: rate and depth from the project, the main frame's last output file set to
// `output`, "Adding %s..." per row (with `addingMessages`), "Creating AVI %s...", the AVI
// written straight to `output`, or, with a sound, to a uniquely named "zqtemp" AVI in the
// program folder that is merged with the sound into `output` and deleted. A failed write
// shows "Codec error (%d): %s" and, like a failed merge, leaves the status "AVI stream not
// saved" and an empty last output file.
bool BuildAvi(const CFramewrightDoc& doc, const FrameEntries& entries, const std::string& output,
              const std::string& soundFile, const BuildEnvironment& env,
              bool addingMessages = true);

}  // namespace quendrolix
