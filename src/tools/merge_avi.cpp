#include "tools/merge_avi.h"

#include <filesystem>

#include "avi/merge_streams.h"
#include "platform/host/user_prompts.h"

namespace quendrolix {

bool MergeAviCommand(const std::string& videoPath, const std::string& soundPath,
                     const std::string& outputPath, PlaybackRequest* playback,
                     std::string* finalOutput) {
  std::string output = outputPath;
  // Judged on the file name alone, so a dotted folder does not hide a missing extension.
  if (std::filesystem::path(output).filename().string().find('.') == std::string::npos)
    output += ".avi";
  if (finalOutput) *finalOutput = output;
  switch (MergeStreamsOutcome(videoPath, soundPath, output)) {
    case MergeOutcome::kInputNotOpened:
      Prompts().ShowMessage("Codec error: please restart the program");
      return false;
    case MergeOutcome::kSaveFailed:
      return false;
    case MergeOutcome::kMerged:
      break;
  }
  if (playback) playback->Play(output);
  return true;
}

}  // namespace quendrolix
