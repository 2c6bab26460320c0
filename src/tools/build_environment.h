#pragma once

// What every road that makes a movie shares: the kinds of output, what a build needs from
// its front (the GUI or the CLI), how it ends, and the project's rows as the builders take
// them.

#include <functional>
#include <string>
#include <vector>

#include "avi/frame_composition.h"
#include "avi/picture_fitter.h"
#include "platform/vfw/vfw.h"
#include "project/framewright_doc.h"

namespace quendrolix {

enum class OutputKind { kAvi, kMpg, kGif, kMp4 };

// The playback of a finished movie, which the fronts implement (the GUI opens a player
// window; the CLI prints the path or does nothing).
class PlaybackRequest {
 public:
  virtual ~PlaybackRequest() = default;
  virtual void Play(const std::string& path) = 0;
};

// What a build needs from its front. Every member is optional.
struct BuildEnvironment {
  MainFrameState* frame = nullptr;                   // its last output file is kept up to date
  PlaybackRequest* playback = nullptr;               // asked to play after a successful build
  const LogoPictures* logo = nullptr;                // TheLogoPictures() when null
  const AVICOMPRESSOPTIONS* codecOptions = nullptr;  // CodecOptions() when null
  // The MPG road shows the conversion log while it works, then hides it again...
  std::function<void(bool shown)> showConversionLog;
  // ...and tells it the file it made.
  std::function<void(const std::string& path)> conversionLogFile;
  // The output frame and fit; the document's own (doc.output) when null.
  const OutputFormat* format = nullptr;
  // Where the roads list the pictures they could not place (nowhere when null).
  std::vector<LeftOutPicture>* leftOut = nullptr;
  // Set when the output was made with something left out (a damaged sound's lost part).
  bool* incomplete = nullptr;
};
// Tells the environment the output will be incomplete.
inline void MarkIncomplete(const BuildEnvironment& env) {
  if (env.incomplete) *env.incomplete = true;
}

enum class BuildStatus {
  kBuilt,       // the output was written
  kFailed,      // the build failed; what went wrong has been shown
  kNoImages,    // Quick create over a folder without files ("No images found")
  kIncomplete,  // written, but something was left out (a message named it)
};

struct BuildResult {
  BuildStatus status = BuildStatus::kFailed;
  OutputKind kind = OutputKind::kAvi;
  std::string output;  // the file asked for
  // Pictures the build was asked to place and could not: the movie was made without them.
  std::vector<LeftOutPicture> leftOut;
  bool ok() const { return status == BuildStatus::kBuilt || status == BuildStatus::kIncomplete; }
  // Made, but without something it was asked for (a picture left out, part of the sound).
  bool incomplete() const {
    return status == BuildStatus::kIncomplete || (ok() && !leftOut.empty());
  }
};

// The project's rows as the builders take them: the path of each row's name and its count
// as consumed (0 and text without a number give 1).
struct FrameEntries {
  std::vector<std::string> names;  // as the list shows them
  std::vector<std::string> paths;
  std::vector<int> counts;
};
FrameEntries ProjectFrameEntries(const CFramewrightDoc& doc);
// The same rows with other counts (the road's timing).
FrameEntries WithCounts(const FrameEntries& entries, const std::vector<int>& counts);

// The document's logo settings with the environment's logo pictures (the program's when
// the environment names none).
FrameComposer ComposerFor(const CFramewrightDoc& doc, const BuildEnvironment& env);
// The output frame and fit a build uses: the environment's, else the document's.
OutputFormat OutputFormatFor(const CFramewrightDoc& doc, const BuildEnvironment& env);
// A fitter of the build's format and logo, for the roads that load through one.
PictureFitter FitterFor(const CFramewrightDoc& doc, const BuildEnvironment& env);
// Hands the pictures a road left out to the environment's list.
void ReportLeftOut(const BuildEnvironment& env, const std::vector<LeftOutPicture>& leftOut);
// Runs `road` with an environment that collects the pictures left out into result.leftOut,
// and ends a build that left any out with one message naming each and why.
void RunRoad(BuildResult& result, const BuildEnvironment& env,
             const std::function<bool(const BuildEnvironment&)>& road);
// Hands a finished movie to the environment's playback, when it has one.
void PlayOutput(const BuildEnvironment& env, const std::string& path);
// True when `name`, letter case ignored, holds `part` (".avi", ".mpg", ...) anywhere.
bool NameHolds(const std::string& name, const char* part);

}  // namespace quendrolix
