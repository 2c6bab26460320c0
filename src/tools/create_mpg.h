#pragma once

// Create's MPG road and the MPG output options it codes with.

#include <cstdint>
#include <functional>
#include <string>

#include "project/settings_store.h"
#include "tools/build_environment.h"

namespace quendrolix {

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
// Positions 0..7 name their rate; "as the project" (8), and any position outside the list,
// takes the project's rate `projectFps` where MPEG-1 has it (10, 12 and 15 by replication)
// and the nearest rate it has otherwise.
MpgFrameRate MpgFrameRateForPosition(int position, int projectFps);
// The rate of the list nearest to `fps`.
MpgFrameRate NearestMpgFrameRate(double fps);
constexpr int kDefaultMpgFpsPosition = 8;

// "Layer" (stored 0 or 1, layer = value + 1, missing 1), "Bitrate" index (missing 7) and
// "FPS" position (missing 8, "as the project") of section "MPEG".
struct MpgOutputChoice {
  int layer = 2;
  int bitrateIndex = 7;
  int fpsPosition = kDefaultMpgFpsPosition;
  static MpgOutputChoice FromStore(const SettingsStore& store);
};
// The audio bit rate of a layer's list position (index + 1 of the MPEG-1 table); 128 for
// an index outside 0..13.
int MpgAudioRateKbps(int layer, int index);

// The image loader of the MPEG engine's image-list road: each image is loaded, stamped
// with the logo and handed over as a 24-bit DIB block, so MPG frames carry the same logo
// as AVI frames. It keeps a copy of the settings and refers to the composer's pictures,
// which must outlive it.
std::function<HDIB(const std::string& path)> ComposedImageLoader(const FrameComposer& composer);

// The MPG road: pictures keep their time on screen at the MPG's rate (counts retimed,
// rounding carried); a sound is prepared first by the project's length policy. The MPEG
// engine writes the video (frames composed with the logo) at a total
// of 160 kbit/s; with a sound the video goes to an intermediate named after the output
// plus `intermediateSuffix` in a private temporary folder and is merged with the sound into
// `output`. True only when `output` was written.
bool BuildMpg(CFramewrightDoc& doc, const FrameEntries& entries, const std::string& output,
              const std::string& soundFile, const BuildEnvironment& env,
              const std::string& intermediateSuffix = "_");

}  // namespace quendrolix
