#include "tools/temp_folder.h"

#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <system_error>

#include "platform/host/conversion_log.h"
#include "platform/host/program_folder.h"
#include "platform/host/user_prompts.h"
#include "tools/quick_create.h"

namespace quendrolix {
namespace fs = std::filesystem;

std::string ProgramTempFolder() {
  return ProgramFolder::Join("Temp") + "/";
}

bool TempFolderExists(const std::string& folder) {
  if (folder.empty()) return false;
  std::error_code ec;
  return fs::is_directory(folder, ec) && ::access(folder.c_str(), X_OK) == 0;
}

bool CreateTempFolder(const std::string& folder) {
  if (folder.empty()) return false;
  std::error_code ec;
  fs::create_directories(folder, ec);
  return TempFolderExists(folder);
}

bool EmptyTempFolder(const std::string& folder) {
  std::error_code ec;
  const fs::path mine = fs::weakly_canonical(ProgramTempFolder(), ec);
  if (ec || mine.empty()) return false;
  const fs::path asked = fs::weakly_canonical(folder, ec);
  if (ec || asked.empty()) return false;
  // A trailing '/' leaves an empty last component; compare without it.
  auto bare = [](fs::path p) { return p.has_filename() ? p : p.parent_path(); };
  if (bare(asked) != bare(mine)) return false;
  if (!TempFolderExists(mine.string())) return false;

  bool ok = true;
  for (fs::directory_iterator it(mine, ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code statusError;
    const fs::file_status status = it->symlink_status(statusError);
    if (statusError || !fs::is_regular_file(status)) continue;  // links, folders, devices
    const std::string name = it->path().filename().string();
    if (name.empty() || name[0] == '.') continue;  // hidden
    if ((status.permissions() & fs::perms::owner_write) == fs::perms::none) continue;
    std::error_code removeError;
    if (!fs::remove(it->path(), removeError)) ok = false;
  }
  return ok && !ec;
}

TempRunFolder::TempRunFolder() {
  const std::string folder = ProgramTempFolder();
  if (!TempFolderExists(folder) && !CreateTempFolder(folder)) {
    Prompts().ShowMessage(
        StringPrintf("Could not create %s folder for temporary files", folder.c_str()));
    return;
  }
  std::string pattern = folder + "run-XXXXXX";
  if (::mkdtemp(pattern.data()) == nullptr) {
    Prompts().ShowMessage(
        StringPrintf("Could not create %s folder for temporary files", folder.c_str()));
    return;
  }
  path_ = pattern + "/";
}

TempRunFolder::~TempRunFolder() {
  if (path_.empty()) return;
  std::error_code ec;
  fs::remove_all(path_, ec);
}

FrameToolStatus BuildFromTempFolder(CFramewrightDoc& doc, const std::string& folder,
                                    const std::string& output, const BuildEnvironment& env,
                                    int framesPerPicture) {
  QuickCreateRequest request;
  request.framesPerPicture = framesPerPicture;
  request.folder = folder;
  request.output = output;
  const BuildResult result = QuickCreate(doc, request, env);
  if (result.incomplete()) return FrameToolStatus::kIncomplete;
  return result.ok() ? FrameToolStatus::kBuilt : FrameToolStatus::kBuildFailed;
}

}  // namespace quendrolix
