#pragma once

// Turning a multi-page TIFF into a movie: the pages are laid out as numbered bitmaps in the
// program's "Temp" folder and built by Quick create.

#include <string>

#include "tools/temp_folder.h"

namespace quendrolix {

// "Multi-page TIFF->AVI/MPEG Converter": the pages (stamped with the logo) into the
// temporary folder, then Quick create into `output`.
FrameToolStatus ConvertTiffToMovie(CFramewrightDoc& doc, const std::string& tiffPath,
                                   const std::string& output, const BuildEnvironment& env = {});

}  // namespace quendrolix
