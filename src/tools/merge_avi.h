#pragma once

// "Merge AVI and Sound": the merge command after its dialog.

#include <string>

#include "tools/build_environment.h"

namespace quendrolix {

// The merge command after its dialog: ".avi" is appended to an output name without a '.';
// an input that cannot be opened shows "Codec error: please restart the program"; a
// merged file is handed to `playback`. `finalOutput` receives the name used. True when the
// output was written; `incomplete` then tells whether a damaged stretch of the sound was
// left out (a warning named the file).
bool MergeAviCommand(const std::string& videoPath, const std::string& soundPath,
                     const std::string& outputPath, PlaybackRequest* playback = nullptr,
                     std::string* finalOutput = nullptr, bool* incomplete = nullptr);

}  // namespace quendrolix
