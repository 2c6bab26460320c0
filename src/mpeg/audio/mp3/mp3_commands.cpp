#include "mpeg/audio/mp3/mp3_commands.h"

#include <cstdio>

#include "mpeg/audio/mp3/mp3_encoder_job.h"
#include "platform/host/conversion_log.h"
#include "platform/mp3lib/mp3_library.h"

namespace quendrolix {
namespace {

// Shows each file's name as it starts and the job's progress after each chunk.
class LogOwner : public Mp3EncoderJob::Owner {
 public:
  void FileStarted(const Mp3EncoderJob& job) override {
    ReportLine("%s", std::filesystem::path(job.currentSourcePath()).filename().c_str());
  }
  void ChunkEncoded(const Mp3EncoderJob& job) override { ReportPercent(job.progressPercent()); }
};

Mp3CommandHost& DefaultHost() {
  static Mp3CommandHost host;
  return host;
}

}  // namespace

std::filesystem::path Mp3CommandHost::LibraryPath() const {
  return Mp3Library::DefaultPath();
}

bool ConvertWavFilesToMp3(const std::vector<std::string>& wavPaths, Mp3CommandHost* host,
                          int* result) {
  Mp3CommandHost& h = host ? *host : DefaultHost();
  h.SetLogBusy(true);
  ReportLine("Starting Mp3 engine...");
  LogOwner owner;
  Mp3EncoderJob job(&owner);
  job.SetLibraryPath(h.LibraryPath());
  for (const auto& path : wavPaths) job.AddSource(path);
  const bool ok = job.Run();
  if (ok) {
    ReportLine("Conversion completed");
    if (!wavPaths.empty()) h.RememberOutputFile(job.currentOutputPath());
  } else {
    ReportLine("Conversion stopped (%d)", job.lastResult());
  }
  if (result) *result = job.lastResult();
  h.SetLogBusy(false);
  return ok;
}

bool SaveRecordingAsMp3(const std::string& wavPath, const std::string& mp3Path, bool deleteSource,
                        Mp3CommandHost* host, int* result) {
  Mp3CommandHost& h = host ? *host : DefaultHost();
  h.SetLogBusy(true);
  ReportLine("Starting Mp3 engine...");
  LogOwner owner;
  Mp3EncoderJob job(&owner);
  job.SetLibraryPath(h.LibraryPath());
  job.AddSource(wavPath, mp3Path);
  const bool ok = job.Run();
  if (ok)
    ReportLine("Save of %s completed", mp3Path.c_str());
  else
    ReportLine("Saving failed (%d)", job.lastResult());
  if (result) *result = job.lastResult();
  h.SetLogBusy(false);
  if (deleteSource) std::remove(wavPath.c_str());
  h.HideLog();
  return ok;
}

}  // namespace quendrolix
