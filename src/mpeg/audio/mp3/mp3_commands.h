#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace quendrolix {

// What the main frame does around the MP3 commands. The GUI implements it; the defaults
// suit the CLI and tests.
class Mp3CommandHost {
 public:
  virtual ~Mp3CommandHost() = default;
  // The conversion log is marked busy while a command runs, idle afterwards.
  virtual void SetLogBusy(bool /*busy*/) {}
  // Saving a recording hides the conversion log window when it is done.
  virtual void HideLog() {}
  // The most recent output file (the slot the other conversion commands also set).
  virtual void RememberOutputFile(const std::string& /*path*/) {}
  // The encoder library to load.
  virtual std::filesystem::path LibraryPath() const;
};

// The "WAV -> MP3" command, after its open dialog: converts each file into an MP3 beside
// it. Logs "Starting Mp3 engine...", the name of each file as it starts, and "Conversion
// completed" or "Conversion stopped (%d)"; the progress goes to ReportPercent. Returns
// true when every file was converted; `result` receives the job's result code.
bool ConvertWavFilesToMp3(const std::vector<std::string>& wavPaths, Mp3CommandHost* host = nullptr,
                          int* result = nullptr);

// Saves a recording as MP3: converts `wavPath` into `mp3Path`, logs "Save of %s completed"
// or "Saving failed (%d)", deletes the WAV when `deleteSource` is set (a failure to delete
// is ignored) and hides the conversion log.
bool SaveRecordingAsMp3(const std::string& wavPath, const std::string& mp3Path, bool deleteSource,
                        Mp3CommandHost* host = nullptr, int* result = nullptr);

}  // namespace quendrolix
