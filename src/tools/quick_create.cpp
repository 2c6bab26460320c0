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
                        const BuildEnvironment& env) {
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
  const int count =
      request.framesPerPicture > 0 ? request.framesPerPicture : doc.DefaultFrameCount();
  for (const std::string& name : names) {
    entries.names.push_back(name);
    entries.paths.push_back((fs::path(request.folder) / name).string());
    entries.counts.push_back(count);
  }
  RunRoad(result, env, [&](const BuildEnvironment& given) {
    BuildEnvironment roadEnv = given;
    if (request.format) roadEnv.format = &*request.format;
    if (result.kind == OutputKind::kAvi)
      return BuildAvi(doc, entries, request.output, request.soundFile, roadEnv, false);
    if (result.kind == OutputKind::kMp4)
      return BuildMp4(doc, entries, request.output, request.soundFile, roadEnv, false);
    // Only the folder's own sound: merging the project's sound first would leave a system
    // stream that cannot take a second sound.
    if (!request.soundFile.empty())
      return BuildMpg(doc, entries, request.output, request.soundFile, roadEnv, "g");
    return BuildMpg(doc, entries, request.output, doc.soundFile(), roadEnv);
  });
  if (result.ok()) PlayOutput(env, request.output);
  return result;
}

}  // namespace quendrolix
