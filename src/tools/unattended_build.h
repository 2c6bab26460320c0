#pragma once

// The unattended build of a settings file that asks for one.

#include <string>

#include "tools/build_environment.h"

namespace quendrolix {

// The unattended build: AVI when the name holds ".avi"; MP4 when it ends in ".mp4"; MPG
// when it holds ".mpg" or ".mpeg"; AVI otherwise.
OutputKind UnattendedOutputKind(const std::string& name);

// The unattended build of a settings file with "Auto" = 1: the project into the document's
// output file, with the project's sound; AVI or MPG by UnattendedOutputKind. Nothing is
// played. On success the front ends the program; on failure it stays with the error shown.
BuildResult BuildUnattended(CFramewrightDoc& doc, const BuildEnvironment& env = {});

}  // namespace quendrolix
