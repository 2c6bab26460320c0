// quendrolix-cli wav2mp2 FILE...: the "WAV -> MP2" command.
#include <cstdio>
#include <filesystem>

#include "cli_command.h"
#include "console_log.h"
#include "mpeg/audio/sound_to_mp2.h"
#include "platform/host/conversion_log.h"
#include "platform/host/file_exception.h"

namespace quendrolix::cli {
namespace {

int RunWav2Mp2(const std::vector<std::string>& args);

const CliRegistration kRegistration({
    "wav2mp2",
    "convert WAV (or AVI) sound to MP2 files beside the sources",
    "Usage: quendrolix-cli wav2mp2 FILE...\n"
    "\n"
    "Encodes the sound of each WAV or AVI file as MPEG-1 layer II at 128 kbit/s into an\n"
    "MP2 file beside it (the source's name with the extension \"mp2\"). Any sound file\n"
    "will do (WAV of any rate, depth and channels, MP3, Ogg Vorbis, Opus, FLAC, AAC/M4A, an\n"
    "AVI's sound): other rates than 11.025, 22.05 and 44.1 kHz are resampled to 44.1 kHz\n"
    "with a warning, more than two channels mixed down to stereo.\n"
    "The log goes to standard output. Exit status 1 when any file failed, 3 when a damaged\n"
    "sound was converted as far as it decodes.",
    RunWav2Mp2,
});

int RunWav2Mp2(const std::vector<std::string>& args) {
  if (args.empty()) return UsageError("wav2mp2", "no file given");
  for (const auto& a : args)
    if (!a.empty() && a[0] == '-') return UsageError("wav2mp2", "unknown option " + a);

  bool anyFailed = false, anyIncomplete = false;
  for (const std::string& source : args) {
    const Mp2FileConversion made = ConvertSoundFileToMp2(source);
    if (made.ok && made.incomplete) anyIncomplete = true;
    if (!made.ok) {
      anyFailed = true;
      TheConsoleLog().ClearBar();
      std::fflush(stdout);
      std::fprintf(stderr, "quendrolix-cli wav2mp2: %s: %s\n", source.c_str(), made.reason.c_str());
    }
  }
  ReportLine("Conversion completed");
  return anyFailed ? kExitFailure : anyIncomplete ? kExitIncomplete : kExitOk;
}

}  // namespace
}  // namespace quendrolix::cli
