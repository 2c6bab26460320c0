#include "tools/quick_create.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "platform/host/user_prompts.h"
#include "project/framewright_doc.h"
#include "tools/create_avi.h"
#include "tools/create_mp4.h"
#include "tools/create_mpg.h"

namespace quendrolix {
namespace fs = std::filesystem;

OutputKind QuickCreateOutputKind(const std::string& name) {
  if (IsMp4Name(name)) return OutputKind::kMp4;
  return NameHolds(name, ".mpg") || NameHolds(name, ".mpeg") ? OutputKind::kMpg : OutputKind::kAvi;
}

std::vector<std::string> QuickCreateListing(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    // Pictures only: no folders, devices or broken links, nothing hidden (".directory",
    // editors' backups) and no file of another kind left beside the pictures.
    const std::string name = it->path().filename().string();
    std::error_code kindError;
    if (name.empty() || name[0] == '.' || !it->is_regular_file(kindError) ||
        !IsImageExtension(name))
      continue;
    names.push_back(name);
  }
  std::sort(names.begin(), names.end());  // bytes, as the listing has always been sorted
  return names;
}

BuildResult QuickCreate(CFramewrightDoc& doc, const QuickCreateRequest& request,
                        const BuildEnvironment& outer) {
  bool incomplete = false;
  BuildEnvironment env = outer;
  env.incomplete = &incomplete;
  BuildResult result;
  result.output = request.output;
  result.kind = QuickCreateOutputKind(request.output);
  const std::vector<std::string> names = QuickCreateListing(request.folder);
  if (names.empty()) {
    Prompts().ShowMessage("No images found");
    result.status = BuildStatus::kNoImages;
    return result;
  }
  FrameEntries entries;
  const int count = doc.DefaultFrameCount();
  for (const std::string& name : names) {
    entries.names.push_back(name);
    entries.paths.push_back((fs::path(request.folder) / name).string());
    entries.counts.push_back(count);
  }
  bool ok;
  if (result.kind == OutputKind::kAvi) {
    ok = BuildAvi(doc, entries, request.output, request.soundFile, env, false);
  } else if (result.kind == OutputKind::kMp4) {
    ok = BuildMp4(doc, entries, request.output, request.soundFile, env, false);
  } else if (!request.soundFile.empty()) {
    // Only the folder's own sound: merging the project's sound first would leave a system
    // stream that cannot take a second sound.
    ok = BuildMpg(doc, entries, request.output, request.soundFile, env, "g");
  } else {
    ok = BuildMpg(doc, entries, request.output, doc.soundFile(), env);
  }
  result.status = !ok          ? BuildStatus::kFailed
                  : incomplete ? BuildStatus::kIncomplete
                               : BuildStatus::kBuilt;
  if (ok) PlayOutput(env, request.output);
  return result;
}

}  // namespace quendrolix
