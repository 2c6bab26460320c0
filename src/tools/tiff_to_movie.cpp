#include "tools/tiff_to_movie.h"

#include "tools/extract_frames.h"

namespace quendrolix {

FrameToolStatus ConvertTiffToMovie(CFramewrightDoc& doc, const std::string& tiffPath,
                                   const std::string& output, const BuildEnvironment& env) {
  const std::string folder = ReadyTempFolder();
  if (folder.empty()) return FrameToolStatus::kNoTempFolder;
  const FrameComposer composer = ComposerFor(doc, env);
  if (ExtractTiffPages(tiffPath, folder, 0, nullptr, composer) == 0)
    return FrameToolStatus::kNothingToJoin;
  return BuildFromTempFolder(doc, folder, output, env);
}

}  // namespace quendrolix
