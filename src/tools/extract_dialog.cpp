#include "tools/extract_dialog.h"

#include <algorithm>
#include <filesystem>

#include "platform/host/conversion_log.h"
#include "platform/host/user_prompts.h"
#include "project/text_numbers.h"

namespace quendrolix {
namespace fs = std::filesystem;
namespace {

std::string FolderOf(const std::string& path) {
  return WithTrailingSlash(fs::path(path).parent_path().string());
}

}  // namespace

ExtractImagesDialog ExtractImagesDialog::Open(const std::string& source,
                                              const SettingsStore& store) {
  ExtractImagesDialog dialog;
  dialog.sourcePath = source;
  int16_t useDir = 0;
  store.GetInteger("Extract", "UseDir", useDir);
  dialog.alwaysUseFolder = useDir != 0;
  if (dialog.alwaysUseFolder)
    store.GetString("Extract", "Dir", dialog.folder);
  else
    dialog.folder = FolderOf(source);
  return dialog;
}

ExtractImagesDialog::Result ExtractImagesDialog::DoIt(CFramewrightDoc& doc, MainFrameState& frame,
                                                      SettingsStore& store,
                                                      const FrameComposer& composer,
                                                      const FrameProgress& progress) {
  Result result;
  if (sourcePath.find('.') == std::string::npos) return result;
  std::error_code ec;
  if (!fs::exists(sourcePath, ec)) {
    Prompts().ShowMessage(sourcePath + " not found");
    result.outcome = Outcome::kSourceMissing;
    return result;
  }
  if (folder.empty()) folder = FolderOf(sourcePath);
  folder = WithTrailingSlash(folder);
  if (!fs::is_directory(folder, ec)) {
    if (!Prompts().AskYesNo(folder + " does not exist. Create?")) {
      result.outcome = Outcome::kCancelled;
      return result;
    }
    fs::create_directories(folder, ec);
    if (!fs::is_directory(folder, ec)) {
      Prompts().ShowMessage("Failed to create directory");
      result.outcome = Outcome::kFolderFailed;
      return result;
    }
  }
  if (alwaysUseFolder) {
    store.SetString("Extract", "Dir", folder);
    store.Save();
  }
  // Kept well inside the numbers, so that start + count always fits.
  const int start = std::clamp(LeadingInteger(startText), -999999999, 999999999);
  result.outcome = Outcome::kExtracted;
  result.count =
      ExtractImages(sourcePath, folder, start, disposition, doc, frame, composer, progress);
  startText = StringPrintf("%d", start + result.count);
  if (result.count != 0) Prompts().ShowMessage("Done!");
  return result;
}

void ExtractImagesDialog::Close(SettingsStore& store) const {
  store.SetInteger("Extract", "UseDir", alwaysUseFolder ? 1 : 0);
  store.SetString("Extract", "Dir", folder);
  store.Save();
}

}  // namespace quendrolix
