#pragma once

// The unattended build of a settings file that asks for one.

#include <string>

#include "tools/build_environment.h"

namespace quendrolix {

// The unattended build: MPG when the name holds ".mpg" or ".mpeg" and not ".avi", as
// Create would build it; AVI otherwise.
OutputKind UnattendedOutputKind(const std::string& name);

// The unattended build of a settings file with "Auto" = 1: the project into the document's
// output file, with the project's sound; AVI or MPG by UnattendedOutputKind. Nothing is
// played. On success the front ends the program; on failure it stays with the error shown.
BuildResult BuildUnattended(CFramewrightDoc& doc, const BuildEnvironment& env = {});

}  // namespace quendrolix
