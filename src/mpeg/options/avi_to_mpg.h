#pragma once

#include <string>
#include <vector>

namespace quendrolix {

class DialogFolders;

// The rules of "Convert AVI to MPG" (dialog 5001): the AVI files to convert, the output
// folder and the extension, and what "&Do it!" does with them.
struct AviToMpgRequest {
  enum Extension { kMpg = 0, kMpeg = 1 };  // radio pair "MPG" (1043) / "MPEG" (1044)

  std::vector<std::string> inputFiles;  // full paths, in the order they are converted
  std::string outputFolder;             // empty: each output beside its input
  Extension extension = kMpg;

  // The open dialog of the input button (1031) closed with `chosen` files: they are
  // sorted in ascending byte order of the whole path and replace the list. With `folders`
  // the folder of the first becomes the import folder (the dialog starts in
  // folders->ImportFolder()). An empty choice (Cancel) empties the list.
  void FilesChosen(std::vector<std::string> chosen, DialogFolders* folders = nullptr);
  // The input button's caption: "Number of files selected: %d", or empty with no file.
  std::string InputCaption() const;
  // "&Do it!" is enabled while the input caption is not empty.
  bool CanStart() const { return !InputCaption().empty(); }
  // The folder browser "Select MPG output folder" (starting at the output folder) closed
  // with OK: the folder becomes the output folder and the output button's caption.
  void FolderChosen(const std::string& folder) { outputFolder = folder; }
  const std::string& OutputCaption() const { return outputFolder; }

  // ".mpg", or ".mpeg" when "MPEG" is selected.
  std::string ExtensionText() const;
  // The output folder (or the input's own folder when it is empty), the input's file
  // name without its extension, and the extension: /a/clip.avi with no folder and "MPEG"
  // gives /a/clip.mpeg, with the folder /out gives /out/clip.mpeg.
  std::string OutputPathFor(const std::string& inputPath) const;
};

// What the main frame does around the conversions. The GUI implements it; the defaults
// suit the CLI and tests.
class AviToMpgHost {
 public:
  virtual ~AviToMpgHost() = default;
  // A wait cursor and the conversion log marked busy while the loop runs.
  virtual void SetBusy(bool /*busy*/) {}
  // The conversion log's remembered file: each output path as its conversion starts.
  virtual void RememberOutputFile(const std::string& /*path*/) {}
};

// The engine's numeric arguments; the dialog passes 0 for all of them (the engine's
// defaults), the command line may give some.
struct AviToMpgArguments {
  int audioLayer = 0;
  int totalRateKbps = 0;
  int audioRateKbps = 0;
  unsigned frameRateSelection = 0;
  int width = 0, height = 0;
  // kbit/s of the video alone, kAutomaticVideoRate, or 0 for what the total rate leaves.
  int videoRateKbps = 0;
};

struct AviToMpgOutcome {
  std::string inputPath;
  std::string outputPath;
  bool produced = false;  // the conversion wrote its output
};

// "&Do it!": logs "Starting MPG engine...", converts every input file in order with
// ConvertAviToMpg (a failure is reported by the engine and the loop goes on), then logs
// "MPG engine closed". One outcome per input file.
std::vector<AviToMpgOutcome> RunAviToMpg(const AviToMpgRequest& request,
                                         AviToMpgHost* host = nullptr,
                                         const AviToMpgArguments& arguments = {});

}  // namespace quendrolix
