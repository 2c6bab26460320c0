#include "tools/morph_dialog.h"

#include <algorithm>
#include <filesystem>

#include "image/cbmp.h"
#include "platform/host/program_folder.h"
#include "platform/host/user_prompts.h"
#include "project/text_numbers.h"

namespace quendrolix {
namespace fs = std::filesystem;

MorphDialog MorphDialog::Open(const SettingsStore& store) {
  MorphDialog dialog;
  if (!store.GetString("Morph", "Dir", dialog.folder) || dialog.folder.empty()) {
    dialog.folder = ProgramFolder::Join("Morph");
    std::error_code ec;
    fs::create_directories(dialog.folder, ec);
  }
  return dialog;
}

void MorphDialog::SetSource(const std::string& path) {
  sourcePath = path;
  CheckSizes();
}

void MorphDialog::SetTarget(const std::string& path) {
  targetPath = path;
  CheckSizes();
}

void MorphDialog::CheckSizes() {
  if (sourcePath.empty() || targetPath.empty()) return;
  CBmp picture;
  int sw = 0, sh = 0, tw = 0, th = 0;
  if (picture.Load(sourcePath)) picture.GetSize(sw, sh);
  if (picture.Load(targetPath)) picture.GetSize(tw, th);
  if (sw != tw || sh != th) {
    Prompts().ShowMessage(kSizeMismatch);
    targetPath.clear();
  }
}

bool MorphDialog::Accept(SettingsStore& store) {
  store.SetString("Morph", "Dir", folder);
  store.Save();
  if (sourcePath == targetPath) {
    Prompts().ShowMessage("Cannot morph into the same image");
    return false;
  }
  std::error_code ec;
  for (const std::string* path : {&sourcePath, &targetPath}) {
    if (!fs::exists(*path, ec)) {
      Prompts().ShowMessage("Cannot open " + *path);
      return false;
    }
  }
  steps = StepsFrom(stepsText);
  start = StartFrom(startText);
  return true;
}

int MorphDialog::StepsFrom(const std::string& text) {
  return std::clamp(LeadingInteger(text), kMinSteps, kMaxSteps);
}

int MorphDialog::StartFrom(const std::string& text) {
  // Far below the end of the numbers, so that start + steps + 1 always fits.
  return std::clamp(LeadingInteger(text), 0, 999999999);
}

}  // namespace quendrolix
