#pragma once

// Turning a multi-page TIFF into a movie: the pages are laid out as numbered bitmaps in the
// program's "Temp" folder and built by Quick create.

#include <string>

#include "tools/temp_folder.h"

namespace quendrolix {

// "Multi-page TIFF->AVI/MPEG Converter": the pages into the temporary folder, then Quick
// create into `output`, each page fitted into the output frame (env.format, else the
// document's) and held for `framesPerPicture` frames (the default frame count when 0). With
// the fit "none" the pages are stamped with the logo as they are laid out.
FrameToolStatus ConvertTiffToMovie(CFramewrightDoc& doc, const std::string& tiffPath,
                                   const std::string& output, const BuildEnvironment& env = {},
                                   int framesPerPicture = 0);

}  // namespace quendrolix
