// quendrolix-cli wav2mp3 FILE...: the "WAV -> MP3" command without its open dialog.
#include <string>
#include <vector>

#include "cli_command.h"
#include "mpeg/audio/mp3/mp3_commands.h"

namespace quendrolix::cli {
namespace {

int RunWav2Mp3(const std::vector<std::string>& args) {
  if (args.empty()) return UsageError("wav2mp3", "no WAV file given");
  for (const auto& a : args)
    if (a.size() > 1 && a[0] == '-') return UsageError("wav2mp3", "unknown option " + a);
  return ConvertWavFilesToMp3(args) ? kExitOk : kExitFailure;
}

const CliRegistration kRegistration({
    "wav2mp3",
    "convert WAV files to MP3 files beside them",
    "Usage: quendrolix-cli wav2mp3 FILE.wav...\n"
    "\n"
    "Converts each WAV file (PCM, mono or stereo) into an MP3 file of the same name beside\n"
    "it, at 128 kbit/s and the file's own sample rate, through the encoder library in\n"
    "Dll/libbladeenc.so. The first failure ends the run with \"Conversion stopped (N)\":\n"
    "1 the library is missing, 2 it lacks an entry point, 3 no memory, an error number\n"
    "for a file that cannot be read or written, or the library's own code.",
    RunWav2Mp3,
});

}  // namespace
}  // namespace quendrolix::cli
