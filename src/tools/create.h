#pragma once

// Create: the project into an AVI, MPG or GIF file, by the output's name.

#include <string>

#include "tools/build_environment.h"

namespace quendrolix {

// Create: ".avi" anywhere in the lower-cased name wins; otherwise ".gif" anywhere gives
// GIF; anything else is MPG ("clip.avi.mpg" is an AVI).
OutputKind CreateOutputKind(const std::string& name);

// Create: the output kind by name; AVI and MPG with the project's sound; GIF through our
// animated GIF writer. A successful build is played.
BuildResult CreateFromProject(CFramewrightDoc& doc, const std::string& outputName,
                              const BuildEnvironment& env = {});

}  // namespace quendrolix
