#pragma once

// Create: the project into an AVI, MPG, GIF or MP4 file, by the output's name.

#include <string>

#include "tools/build_environment.h"

namespace quendrolix {

// Create: ".avi" anywhere in the lower-cased name wins; otherwise a name ending in ".mp4"
// gives MP4, ".gif" anywhere GIF, and anything else MPG ("clip.avi.mpg" is an AVI).
OutputKind CreateOutputKind(const std::string& name);

// Create: the output kind by name; AVI, MPG and MP4 with the project's sound; GIF through
// our animated GIF writer. A successful build is played.
BuildResult CreateFromProject(CFramewrightDoc& doc, const std::string& outputName,
                              const BuildEnvironment& env = {});

}  // namespace quendrolix
