#pragma once

// What every road that makes a movie shares: the kinds of output, what a build needs from
// its front (the GUI or the CLI), how it ends, and the project's rows as the builders take
// them.

#include <functional>
#include <string>
#include <vector>

#include "avi/frame_composition.h"
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
  bool ok() const { return status == BuildStatus::kBuilt || status == BuildStatus::kIncomplete; }
};

// The project's rows as the builders take them: the path of each row's name and its count
// as consumed (0 and text without a number give 1).
struct FrameEntries {
  std::vector<std::string> names;  // as the list shows them
  std::vector<std::string> paths;
  std::vector<int> counts;
};
FrameEntries ProjectFrameEntries(const CFramewrightDoc& doc);

// The document's logo settings with the environment's logo pictures (the program's when
// the environment names none).
FrameComposer ComposerFor(const CFramewrightDoc& doc, const BuildEnvironment& env);
// Hands a finished movie to the environment's playback, when it has one.
void PlayOutput(const BuildEnvironment& env, const std::string& path);
// True when `name`, letter case ignored, holds `part` (".avi", ".mpg", ...) anywhere.
bool NameHolds(const std::string& name, const char* part);

}  // namespace quendrolix
