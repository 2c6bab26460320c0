#include "tools/merge_avi.h"

#include <cstdio>
#include <cstring>
#include <filesystem>

#include "avi/merge_streams.h"
#include "platform/host/user_prompts.h"
#include "tools/project_sound.h"

namespace quendrolix {
namespace {

bool IsAviFile(const std::string& path) {
  char head[12] = {};
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return false;
  const size_t got = std::fread(head, 1, sizeof head, file);
  std::fclose(file);
  return got == sizeof head && std::memcmp(head, "RIFF", 4) == 0 &&
         std::memcmp(head + 8, "AVI ", 4) == 0;
}

}  // namespace

bool MergeAviCommand(const std::string& videoPath, const std::string& soundPath,
                     const std::string& outputPath, PlaybackRequest* playback,
                     std::string* finalOutput, bool* incomplete) {
  if (incomplete) *incomplete = false;
  std::string output = outputPath;
  // Judged on the file name alone, so a dotted folder does not hide a missing extension.
  if (std::filesystem::path(output).filename().string().find('.') == std::string::npos)
    output += ".avi";
  if (finalOutput) *finalOutput = output;
  // An AVI gives all its streams as they are; any other sound file (WAV of any rate, depth
  // and channels, MP3, Ogg, Opus, FLAC, AAC) is decoded into 16-bit PCM the AVI takes.
  ProjectSound prepared;
  std::string sound = soundPath;
  if (!IsAviFile(soundPath)) {
    if (!prepared.Prepare(soundPath, SoundFit::kKeep, FrameRate{}, {}, SoundUse::kAviPcm))
      return false;
    sound = prepared.path();
  }
  switch (MergeStreamsOutcome(videoPath, sound, output)) {
    case MergeOutcome::kInputNotOpened:
      Prompts().ShowMessage("Codec error: please restart the program");
      return false;
    case MergeOutcome::kSaveFailed:
      return false;
    case MergeOutcome::kMerged:
      break;
  }
  if (incomplete) *incomplete = prepared.damaged();
  if (playback) playback->Play(output);
  return true;
}

}  // namespace quendrolix
