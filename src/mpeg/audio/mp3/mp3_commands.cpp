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

namespace {

// Runs one MP3 job with the log busy: `add` gives it its sources, `report` says how it went
// while the log is still busy.
template <class Add, class Report>
bool RunMp3Job(Mp3CommandHost& host, Add add, Report report) {
  host.SetLogBusy(true);
  ReportLine("Starting Mp3 engine...");
  LogOwner owner;
  Mp3EncoderJob job(&owner);
  job.SetLibraryPath(host.LibraryPath());
  add(job);
  const bool ok = job.Run();
  report(job, ok);
  host.SetLogBusy(false);
  return ok;
}

}  // namespace

bool ConvertWavFilesToMp3(const std::vector<std::string>& wavPaths, Mp3CommandHost* host,
                          int* result) {
  Mp3CommandHost& h = host ? *host : DefaultHost();
  return RunMp3Job(
      h,
      [&](Mp3EncoderJob& job) {
        for (const auto& path : wavPaths) job.AddSource(path);
      },
      [&](Mp3EncoderJob& job, bool ok) {
        if (ok) {
          ReportLine("Conversion completed");
          if (!wavPaths.empty()) h.RememberOutputFile(job.currentOutputPath());
        } else {
          ReportLine("Conversion stopped (%d)", job.lastResult());
        }
        if (result) *result = job.lastResult();
      });
}

bool SaveRecordingAsMp3(const std::string& wavPath, const std::string& mp3Path, bool deleteSource,
                        Mp3CommandHost* host, int* result) {
  Mp3CommandHost& h = host ? *host : DefaultHost();
  const bool ok = RunMp3Job(
      h, [&](Mp3EncoderJob& job) { job.AddSource(wavPath, mp3Path); },
      [&](Mp3EncoderJob& job, bool saved) {
        if (saved)
          ReportLine("Save of %s completed", mp3Path.c_str());
        else
          ReportLine("Saving failed (%d)", job.lastResult());
        if (result) *result = job.lastResult();
      });
  if (deleteSource) std::remove(wavPath.c_str());
  h.HideLog();
  return ok;
}

}  // namespace quendrolix
