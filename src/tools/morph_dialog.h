#pragma once

// The rules of the "Morphing" dialog: two pictures of one size, the number of in-between
// steps (1 to 254), what to do with the pictures, the output folder (kept in section
// "Morph", key "Dir") and the first number.

#include <string>

#include "project/settings_store.h"
#include "tools/extract_frames.h"

namespace quendrolix {

struct MorphDialog {
  static constexpr int kMinSteps = 1;
  static constexpr int kMaxSteps = 254;
  static constexpr const char* kFolderTitle = "Select folder to store the images";
  static constexpr const char* kSizeMismatch =
      "Removing the second image: both images must be the same size.";

  std::string sourcePath;
  std::string targetPath;
  std::string stepsText = "20";
  ImageDisposition disposition = ImageDisposition::kNewProject;
  std::string folder;
  std::string startText = "1";
  // Set by Accept.
  int steps = 20;
  int start = 1;

  // The folder from "Dir" of section "Morph"; without it the program folder's "Morph",
  // which is made when missing (the morph itself never creates its folder).
  static MorphDialog Open(const SettingsStore& store);

  // A picture was chosen. When both are set and their sizes differ, kSizeMismatch is shown
  // and the target cleared.
  void SetSource(const std::string& path);
  void SetTarget(const std::string& path);
  // "&Morph" is offered only with both pictures set.
  bool MorphEnabled() const { return !sourcePath.empty() && !targetPath.empty(); }

  // "&Morph": the folder is stored and the store saved; then the same path twice ("Cannot
  // morph into the same image") or a missing picture ("Cannot open " + path) keeps the
  // dialog open (false). Otherwise steps and start are taken from their edits and the
  // dialog closes (true).
  bool Accept(SettingsStore& store);

  // The edits' numbers as the dialog takes them: steps clamped to 1..254, the first
  // number raised to 0.
  static int StepsFrom(const std::string& text);
  static int StartFrom(const std::string& text);

 private:
  void CheckSizes();
};

}  // namespace quendrolix
