#include "tools/tiff_to_movie.h"

#include "tools/extract_frames.h"

namespace quendrolix {

FrameToolStatus ConvertTiffToMovie(CFramewrightDoc& doc, const std::string& tiffPath,
                                   const std::string& output, const BuildEnvironment& env,
                                   int framesPerPicture) {
  const TempRunFolder run;
  if (!run.ok()) return FrameToolStatus::kNoTempFolder;
  const std::string& folder = run.path();
  // A page that is to be scaled gets the logo once it is in the frame, not before.
  const bool scales = OutputFormatFor(doc, env).fit != PictureFit::kNone;
  const FrameComposer composer = scales ? FrameComposer{} : ComposerFor(doc, env);
  if (ExtractTiffPages(tiffPath, folder, 0, nullptr, composer) == 0)
    return FrameToolStatus::kNothingToJoin;
  return BuildFromTempFolder(doc, folder, output, env, framesPerPicture);
}

}  // namespace quendrolix
