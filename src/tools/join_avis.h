#pragma once

// Joining two AVIs: the frames of both are laid out as numbered bitmaps in the program's
// "Temp" folder and built by Quick create.

#include <string>

#include "tools/temp_folder.h"

namespace quendrolix {

// The width of the running number that keeps `frames` numbered names (from 0) in frame
// order when sorted by bytes: 4, or more past 9,999.
int FrameNumberDigits(long long frames);

// "Join 2 AVI-s Together": the frames of `first` (from 0) then those of `second` into the
// temporary folder, then Quick create into `output` (an MPG when the name holds ".mpg" or
// ".mpeg", an AVI otherwise) without a sound of its own.
FrameToolStatus JoinAvis(CFramewrightDoc& doc, const std::string& first, const std::string& second,
                         const std::string& output, const BuildEnvironment& env = {});

}  // namespace quendrolix
