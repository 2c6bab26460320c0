#include "image/tools/join_tools.h"

#include <filesystem>

#include "image/tools/frame_tools.h"
#include "image/tools/temp_folder.h"
#include "platform/host/conversion_log.h"
#include "platform/host/user_prompts.h"

namespace quendrolix {
namespace {

// The temporary folder, there and empty; empty string (and the message shown) when it
// cannot be made.
std::string ReadyTempFolder() {
  const std::string folder = ProgramTempFolder();
  if (!TempFolderExists(folder) && !CreateTempFolder(folder)) {
    Prompts().ShowMessage(
        StringPrintf("Could not create %s folder for temporary files", folder.c_str()));
    return {};
  }
  EmptyTempFolder(folder);
  return folder;
}

FrameToolStatus BuildFromTempFolder(CFramewrightDoc& doc, const std::string& folder,
                                    const std::string& output, const BuildEnvironment& env) {
  QuickCreateRequest request;
  request.folder = folder;
  request.output = output;
  const BuildResult result = QuickCreate(doc, request, env);
  EmptyTempFolder(folder);
  return result.ok() ? FrameToolStatus::kBuilt : FrameToolStatus::kBuildFailed;
}

bool Exists(const std::string& path) {
  std::error_code ec;
  return !path.empty() && std::filesystem::exists(path, ec);
}

}  // namespace

int FrameNumberDigits(long long frames) {
  int digits = 4;
  for (long long limit = 10000; frames - 1 >= limit && digits < 18; limit *= 10) ++digits;
  return digits;
}

FrameToolStatus JoinAvis(CFramewrightDoc& doc, const std::string& first, const std::string& second,
                         const std::string& output, const BuildEnvironment& env) {
  for (const std::string* input : {&first, &second}) {
    if (!Exists(*input)) {
      Prompts().ShowMessage("Cannot find " + *input);
      return FrameToolStatus::kInputMissing;
    }
  }
  const std::string folder = ReadyTempFolder();
  if (folder.empty()) return FrameToolStatus::kNoTempFolder;

  // Quick create sorts the names by bytes: one plain naming, wide enough for both files
  // together, keeps every frame of the first file before every frame of the second.
  AviFrameNaming naming;
  naming.alwaysPlain = true;
  naming.digits = FrameNumberDigits(CountAviFrames(first) + CountAviFrames(second));
  const int firstCount = ExtractAviFrames(first, folder, 0, nullptr, naming);
  if (firstCount == 0) return FrameToolStatus::kNothingToJoin;
  if (ExtractAviFrames(second, folder, firstCount, nullptr, naming) == 0)
    return FrameToolStatus::kNothingToJoin;
  return BuildFromTempFolder(doc, folder, output, env);
}

FrameToolStatus ConvertTiffToMovie(CFramewrightDoc& doc, const std::string& tiffPath,
                                   const std::string& output, const BuildEnvironment& env) {
  const std::string folder = ReadyTempFolder();
  if (folder.empty()) return FrameToolStatus::kNoTempFolder;
  const FrameComposer composer =
      FrameComposer::ForDocument(doc, env.logo ? *env.logo : TheLogoPictures());
  if (ExtractTiffPages(tiffPath, folder, 0, nullptr, composer) == 0)
    return FrameToolStatus::kNothingToJoin;
  return BuildFromTempFolder(doc, folder, output, env);
}

}  // namespace quendrolix
