#include "mpeg/options/avi_to_mpg.h"

#include <algorithm>
#include <filesystem>

#include "mpeg/video/mpeg_converter.h"
#include "platform/host/conversion_log.h"
#include "project/settings_store.h"

namespace quendrolix {
namespace fs = std::filesystem;

void AviToMpgRequest::FilesChosen(std::vector<std::string> chosen, DialogFolders* folders) {
  std::sort(chosen.begin(), chosen.end());
  inputFiles = std::move(chosen);
  if (folders && !inputFiles.empty()) folders->RememberOpened(inputFiles.front());
}

std::string AviToMpgRequest::InputCaption() const {
  if (inputFiles.empty()) return {};
  return StringPrintf("Number of files selected: %d", static_cast<int>(inputFiles.size()));
}

std::string AviToMpgRequest::ExtensionText() const {
  return extension == kMpeg ? ".mpeg" : ".mpg";
}

std::string AviToMpgRequest::OutputPathFor(const std::string& inputPath) const {
  const fs::path input(inputPath);
  const fs::path folder = outputFolder.empty() ? input.parent_path() : fs::path(outputFolder);
  std::string name = input.filename().string();
  // The extension is what follows the last dot of the name; ".hidden" has none.
  const size_t dot = name.rfind('.');
  if (dot != std::string::npos && dot != 0) name.resize(dot);
  return (folder / (name + ExtensionText())).string();
}

std::vector<AviToMpgOutcome> RunAviToMpg(const AviToMpgRequest& request, AviToMpgHost* host,
                                         const AviToMpgArguments& arguments) {
  AviToMpgHost quiet;
  AviToMpgHost& h = host ? *host : quiet;
  // The log goes back to idle however the loop ends.
  struct Busy {
    AviToMpgHost& host;
    explicit Busy(AviToMpgHost& h) : host(h) { host.SetBusy(true); }
    ~Busy() { host.SetBusy(false); }
  } busy(h);
  ReportLine("Starting MPG engine...");
  std::vector<AviToMpgOutcome> outcomes;
  for (const std::string& input : request.inputFiles) {
    AviToMpgOutcome outcome{input, request.OutputPathFor(input), false};
    h.RememberOutputFile(outcome.outputPath);
    outcome.produced =
        ConvertAviToMpg(input, outcome.outputPath, arguments.audioLayer, arguments.totalRateKbps,
                        arguments.audioRateKbps, arguments.frameRateSelection, arguments.width,
                        arguments.height, VideoCoding{arguments.videoRateKbps, false});
    outcomes.push_back(std::move(outcome));
  }
  ReportLine("MPG engine closed");
  return outcomes;
}

}  // namespace quendrolix
