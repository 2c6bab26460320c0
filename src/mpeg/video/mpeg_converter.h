#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "mpeg/video/encoding_parameters.h"
#include "mpeg/video/frame_source.h"

namespace quendrolix {

// Choices about the video beyond the engine's numeric arguments.
struct VideoCoding {
  // The video's own bit rate in kbit/s (1000 bit/s); kAutomaticVideoRate follows the
  // picture size and frame rate (AutomaticVideoBitRate); 0 leaves the video what the
  // total rate leaves it.
  int videoRateKbps = 0;
  // Image lists only: each picture starts a closed GOP and its repeats cost a few bytes
  // (used when pictures stay on screen for two frames or more on average).
  bool slideshow = false;
};
constexpr int kAutomaticVideoRate = -1;

// Converts an AVI file to an MPEG-1 file (system stream with the AVI's sound, or video
// only). Numeric arguments of 0 take the engine's defaults; totalRateKbps is in kbit/s.
// Returns true when the output file was produced.
bool ConvertAviToMpg(const std::string& inputPath, const std::string& outputPath, int audioLayer,
                     int totalRateKbps, int audioRateKbps, unsigned frameRateSelection, int width,
                     int height, const VideoCoding& coding = {});

// The nominal rate of an image list, as a source rate over scale: 10 frames/s.
constexpr uint32_t kImageListRate = 1000000;
constexpr uint32_t kImageListScale = 100000;

// Converts a list of images, each held for its frame count, to an MPEG-1 file; with a
// sound path the sound is multiplexed in. The list plays at sourceRate / sourceScale
// frames per second; with selection 0 the engine's rate table makes that rate's code and
// replication (10 frames/s: code 5, each frame three times). Returns true when the output
// file was produced.
bool ConvertImageListToMpg(const std::vector<std::string>& imagePaths,
                           const std::vector<int>& frameCounts, const std::string& soundPath,
                           const std::string& outputPath, int audioLayer, int totalRateKbps,
                           int audioRateKbps, unsigned frameRateSelection, int width, int height,
                           uint32_t sourceRate = kImageListRate,
                           uint32_t sourceScale = kImageListScale, const VideoCoding& coding = {});

// The video encoder run shared by both conversions: derives the parameters from
// MpegEngineSettings() and the source, and writes the elementary stream to `target`
// (through a temporary name beside it, so a failed run leaves an existing file alone).
// Returns false when nothing usable was written; fatal errors raise EngineAbort.
bool RunVideoEncoder(const SourceDescription& source, MpegFrameSource& frames,
                     const std::string& target);

// True when the audio bit rate (kbit/s) is one of the layer's fourteen rates.
bool IsAudioRateOfLayer(int layer, int rateKbps);

}  // namespace quendrolix
