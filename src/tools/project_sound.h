#pragma once

// The project's sound made ready for one road before any picture is coded: decoded from
// whatever file it is, resampled to what the road's consumer takes, and cut or kept by
// the project's length policy (which may change the frame counts). The result is a plain
// 16-bit PCM WAV in a private temporary folder that lives as long as the object.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "project/output_format.h"
#include "tools/build_environment.h"
#include "tools/output_timing.h"

namespace quendrolix {

class PrivateTempFolder;

// Who takes the sound.
enum class SoundUse {
  kLayer2,  // the layer II encoder: 44.1 kHz, or 22.05/11.025 kHz where the source is that
  kAviPcm,  // an AVI's sound: the source's rate up to 48 kHz
  kAac,     // the MP4's AAC coder: the rates it takes, 44.1 kHz for any other
};

// How long the fade-out is that ends a trimmed sound (at most half the sound).
constexpr double kTrimFadeSeconds = 0.5;

// The rate the consumer is given for a source rate.
int SoundRateFor(SoundUse use, int sourceRate);

class ProjectSound {
 public:
  ProjectSound();
  ~ProjectSound();
  ProjectSound(const ProjectSound&) = delete;
  ProjectSound& operator=(const ProjectSound&) = delete;

  // Prepares `soundFile` for `use` with the pictures `counts` (frames at `pictureRate`)
  // and the policy `fit`. False, with a message shown that names the file, when nothing
  // of the sound can be used. A sound damaged on the way is used as far as it decodes: a
  // warning names it and damaged() is true.
  bool Prepare(const std::string& soundFile, SoundFit fit, FrameRate pictureRate,
               const std::vector<int>& counts, SoundUse use);

  // The prepared WAV (16-bit PCM).
  const std::string& path() const { return path_; }
  // The frame counts as the policy leaves them ("fit" scales them, "keep" lengthens the
  // last one; "trim" leaves them).
  const std::vector<int>& counts() const { return counts_; }
  int rate() const { return rate_; }
  int channels() const { return channels_; }
  int sourceRate() const { return sourceRate_; }
  // Sample frames of the whole sound as decoded, and of the prepared WAV.
  uint64_t decodedFrames() const { return decodedFrames_; }
  uint64_t preparedFrames() const { return preparedFrames_; }
  bool damaged() const { return damaged_; }

 private:
  std::unique_ptr<PrivateTempFolder> folder_;
  std::string path_;
  std::vector<int> counts_;
  int rate_ = 0;
  int channels_ = 0;
  int sourceRate_ = 0;
  uint64_t decodedFrames_ = 0;
  uint64_t preparedFrames_ = 0;
  bool damaged_ = false;
};

// The project's rate as a fraction.
FrameRate ProjectFrameRate(const CFramewrightDoc& doc);

// What a road codes: the frame counts (at the project's rate) and the sound to take.
struct RoadTiming {
  std::vector<int> counts;
  std::string soundPath;  // empty without a sound
};
// The road's timing from the project's rows: without `soundFile` the counts as they are;
// with it, the sound prepared into `sound` for `use` by the project's policy. A damaged
// sound marks the build incomplete in `env`. False when the sound cannot be used (the
// message has been shown).
bool PrepareRoad(const CFramewrightDoc& doc, const FrameEntries& entries,
                 const std::string& soundFile, SoundUse use, const BuildEnvironment& env,
                 ProjectSound& sound, RoadTiming& road);

}  // namespace quendrolix
