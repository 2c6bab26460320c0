#include "tools/merge_dialog.h"

#include <filesystem>

namespace quendrolix {
namespace {

bool IsExistingFile(const std::string& path) {
  if (path.empty()) return false;
  std::error_code ec;
  // A folder is not an input; anything else that is there may be (a pipe, a link).
  return std::filesystem::exists(path, ec) && !std::filesystem::is_directory(path, ec);
}

constexpr MergeDialogTexts kAviTexts = {
    "Merge AVI with AVI / WAV",
    "Select input file (AVI animation)",
    "Select sound file to merge it with (AVI or WAV)",
    "Specify the name of the output file (AVI)",
    "AVI Files (*.avi)|*.avi||",
    "Sound Files (*.avi, *.wav)|*.avi;*.wav||",
    "AVI Files (*.avi)|*.avi||",
    "avi",
};

constexpr MergeDialogTexts kMpgTexts = {
    "Merge MPG with AVI / WAV / MP2",
    "Select input file (MPG animation)",
    "Select sound file to merge it with (AVI, WAV, or MP2)",
    "Specify the name of the output file (MPG)",
    "MPG Animations (*.mpg, *.mpeg, *.m1v)|*.mpg;*.mpeg;*.m1v||",
    "Sound Files (*.avi, *.wav, *.mp2)|*.avi;*.wav;*.mp2||",
    "MPG Files (*.mpg)|*.mpg||",
    "mpg",
};

}  // namespace

const MergeDialogTexts& MergeTexts(MergeForm form) {
  return form == MergeForm::kAvi ? kAviTexts : kMpgTexts;
}

bool MergeDialog::OkEnabled() const {
  return IsExistingFile(animationPath) && IsExistingFile(soundPath) && !outputPath.empty();
}

}  // namespace quendrolix
