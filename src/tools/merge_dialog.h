#pragma once

// The merge dialog: an animation, a sound to merge it with and an output name. One dialog
// serves two tools; its form decides the texts and the file types offered.

#include <string>

namespace quendrolix {

enum class MergeForm { kAvi, kMpg };

struct MergeDialogTexts {
  const char* title;
  const char* animationPrompt;
  const char* soundPrompt;
  const char* outputPrompt;
  // File-dialog filters in the "Description|patterns|...||" form.
  const char* animationFilter;
  const char* soundFilter;
  const char* outputFilter;
  const char* outputExtension;  // default extension of the save dialog, without the dot
};

const MergeDialogTexts& MergeTexts(MergeForm form);

// Button ids of the dialog: the animation, the sound and the output pickers.
namespace merge_dialog {
constexpr int kAnimationButton = 1031;
constexpr int kSoundButton = 1032;
constexpr int kOutputButton = 1033;
constexpr char kDoIt[] = "&Do it!";
}  // namespace merge_dialog

struct MergeDialog {
  MergeForm form = MergeForm::kMpg;
  std::string animationPath;
  std::string soundPath;
  std::string outputPath;

  // "Do it!" is offered only when both inputs are existing files and an output is named.
  bool OkEnabled() const;
};

}  // namespace quendrolix
