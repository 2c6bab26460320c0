#pragma once

// The three ways a movie is made: Create (the project into an AVI or MPG file), Quick
// create (every file of a folder) and the unattended build of a settings file. The GUI's
// dialogs are replaced by arguments; what the fronts must do afterwards (play the result,
// show the conversion log) is asked through BuildEnvironment.

#include <functional>
#include <string>
#include <vector>

#include "avi/frame_composition.h"
#include "platform/vfw/vfw.h"
#include "project/framewright_doc.h"

namespace quendrolix {

enum class OutputKind { kAvi, kMpg, kGif };

// Create: ".avi" anywhere in the lower-cased name wins; otherwise ".gif" anywhere gives
// GIF; anything else is MPG ("clip.avi.mpg" is an AVI).
OutputKind CreateOutputKind(const std::string& name);
// Quick create: ".mpg" or ".mpeg" anywhere gives MPG; anything else is AVI.
OutputKind QuickCreateOutputKind(const std::string& name);
// The unattended build: MPG when the name holds ".mpg" or ".mpeg" and not ".avi", as
// Create would build it; AVI otherwise.
OutputKind UnattendedOutputKind(const std::string& name);

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
};

// ---- Results -----------------------------------------------------------------------------
enum class BuildStatus {
  kBuilt,     // the output was written
  kFailed,    // the build failed; what went wrong has been shown
  kNoImages,  // Quick create over a folder without files ("No images found")
};

struct BuildResult {
  BuildStatus status = BuildStatus::kFailed;
  OutputKind kind = OutputKind::kAvi;
  std::string output;  // the file asked for
  bool ok() const { return status == BuildStatus::kBuilt; }
};

// ---- The roads ---------------------------------------------------------------------------
// The project's rows as the builders take them: the path of each row's name and its count
// as consumed (0 and text without a number give 1).
struct FrameEntries {
  std::vector<std::string> names;  // as the list shows them
  std::vector<std::string> paths;
  std::vector<int> counts;
};
FrameEntries ProjectFrameEntries(const CFramewrightDoc& doc);

// The AVI road: rate and depth from the project, the main frame's last output file set to
// `output`, "Adding %s..." per row (with `addingMessages`), "Creating AVI %s...", the AVI
// written straight to `output`, or, with a sound, to a uniquely named "zqtemp" AVI in the
// program folder that is merged with the sound into `output` and deleted. A failed write
// shows "Codec error (%d): %s" and, like a failed merge, leaves the status "AVI stream not
// saved" and an empty last output file.
bool BuildAvi(const CFramewrightDoc& doc, const FrameEntries& entries, const std::string& output,
              const std::string& soundFile, const BuildEnvironment& env,
              bool addingMessages = true);

// The frame-rate position of "MPG Output Options" (section "MPEG", key "FPS") as the
// engine takes it: the rate the position's label names is the image list's source rate,
// asked for with selection 0, so the engine's own table picks the code and replication
// (10: code 5, each frame three times; 12: code 2, twice; 15: code 5, twice).
struct MpgFrameRate {
  const char* label = "23.976";
  uint32_t rate = 24000;  // the label's rate over scale
  uint32_t scale = 1001;
  int code = 1;         // the frame_rate_code that results
  int replication = 1;  // output frames per project frame
};
// Positions outside 0..7 are taken as the default, 3 ("23.976").
MpgFrameRate MpgFrameRateForPosition(int position);
constexpr int kDefaultMpgFpsPosition = 3;

// "Layer" (stored 0 or 1, layer = value + 1, missing 1), "Bitrate" index (missing 7) and
// "FPS" position (missing 3) of section "MPEG".
struct MpgOutputChoice {
  int layer = 2;
  int bitrateIndex = 7;
  int fpsPosition = kDefaultMpgFpsPosition;
  static MpgOutputChoice FromStore(const SettingsStore& store);
};
// The audio bit rate of a layer's list position (index + 1 of the MPEG-1 table); 128 for
// an index outside 0..13.
int MpgAudioRateKbps(int layer, int index);

// The MPG road: the MPEG engine writes the video (frames composed with the logo) at a total
// of 160 kbit/s; with a sound the video goes to an intermediate named after the output
// plus `intermediateSuffix` in a private temporary folder and is merged with the sound into
// `output`. True only when `output` was written.
bool BuildMpg(CFramewrightDoc& doc, const FrameEntries& entries, const std::string& output,
              const std::string& soundFile, const BuildEnvironment& env,
              const std::string& intermediateSuffix = "_");

// The GIF road: an animated GIF of the rows (logo stamped, as every other frame) with the
// "Gif Settings" options, each image shown for its count times the global delay. The first
// image must load; a later one that cannot be loaded or has another size ends the
// animation there, as on the AVI road, and the message says so. Nothing is left in place
// of `output` on failure. The project's sound is not carried: a GIF has none.
bool BuildGif(const CFramewrightDoc& doc, const FrameEntries& entries, const std::string& output,
              const BuildEnvironment& env);

// Create: the output kind by name; AVI and MPG with the project's sound; GIF through our
// animated GIF writer. A successful build is played.
BuildResult CreateFromProject(CFramewrightDoc& doc, const std::string& outputName,
                              const BuildEnvironment& env = {});

// Quick create: every entry of the folder that is not a folder, by name in ascending byte
// order, each with the default frame count.
struct QuickCreateRequest {
  std::string folder;
  std::string soundFile;  // optional
  std::string output;
};
// The folder's files sorted by name (bytes); empty when it cannot be read.
std::vector<std::string> QuickCreateListing(const std::string& folder);
// No files: "No images found". An AVI carries the request's sound. An MPG carries the
// request's sound, made through an intermediate of the output's name plus "g"; without a
// sound in the request it carries the project's sound, as the MPG road does. A successful
// build is played.
BuildResult QuickCreate(CFramewrightDoc& doc, const QuickCreateRequest& request,
                        const BuildEnvironment& env = {});

// The unattended build of a settings file with "Auto" = 1: the project into the document's
// output file, with the project's sound; AVI or MPG by UnattendedOutputKind. Nothing is
// played. On success the front ends the program; on failure it stays with the error shown.
BuildResult BuildUnattended(CFramewrightDoc& doc, const BuildEnvironment& env = {});

}  // namespace quendrolix
