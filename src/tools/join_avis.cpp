#include "tools/join_avis.h"

#include <filesystem>

#include "platform/host/user_prompts.h"
#include "tools/extract_frames.h"
#include "tools/temp_folder.h"

namespace quendrolix {
namespace {

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
  const TempRunFolder run;
  if (!run.ok()) return FrameToolStatus::kNoTempFolder;
  const std::string& folder = run.path();

  // Quick create sorts the names by bytes: one plain naming, wide enough for both files
  // together, keeps every frame of the first file before every frame of the second.
  AviFrameNaming naming;
  naming.alwaysPlain = true;
  naming.digits = FrameNumberDigits(CountAviFrames(first) + CountAviFrames(second));
  const int firstCount = ExtractAviFrames(first, folder, 0, nullptr, naming);
  if (firstCount == 0) return FrameToolStatus::kNothingToJoin;
  if (ExtractAviFrames(second, folder, firstCount, nullptr, naming) == 0)
    return FrameToolStatus::kNothingToJoin;
  // The second file's frames are fitted into the first file's frame size (the project's fit,
  // letterbox when it has none), so none of them is lost to a size of its own.
  OutputFormat format = OutputFormatFor(doc, env);
  format.width = format.height = 0;
  if (format.fit == PictureFit::kNone) format.fit = PictureFit::kLetterbox;
  BuildEnvironment fitted = env;
  fitted.format = &format;
  return BuildFromTempFolder(doc, folder, output, fitted);
}

}  // namespace quendrolix
