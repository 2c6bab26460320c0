#pragma once

// MergeStreams: a video AVI and a sound joined into one AVI.

#include <string>

namespace quendrolix {

// The most streams a merge takes from its two inputs together.
constexpr int kMaxMergeStreams = 20;

// Joins every stream of the video AVI and of the sound file (a WAV file or an AVI with
// sound) into `outputPath`, video copied without recompression, sound as it is. False
// when an input cannot be opened (nothing is said) or when the output could not be saved
// ("File open error: merging streams failed" is shown; the earlier file at `outputPath`,
// if any, is left as it was).
bool MergeStreams(const std::string& videoPath, const std::string& soundPath,
                  const std::string& outputPath);

enum class MergeOutcome { kMerged, kInputNotOpened, kSaveFailed };
// MergeStreams, saying which way it went.
MergeOutcome MergeStreamsOutcome(const std::string& videoPath, const std::string& soundPath,
                                 const std::string& outputPath);

}  // namespace quendrolix
