// quendrolix-cli record OUT.wav|OUT.mp3 --seconds N [--from FILE.wav]: the sound
// recorder without its dialog. Records N seconds from the default capture device (or from
// a WAV file with --from) and saves them by the output's extension, as the recorder's
// Save button does.
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "cli_command.h"
#include "mpeg/audio/mp3/wave_recorder.h"
#include "mpeg/audio/mp3/wave_recorder_dialog.h"
#include "platform/host/user_prompts.h"
#include "platform/sound/sound_backend.h"

namespace quendrolix::cli {
namespace {

constexpr long kMaxSeconds = 6 * 3600;  // a WAV file holds a little more than 6 hours

int RunRecord(const std::vector<std::string>& args) {
  std::string output, from;
  long seconds = -1;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--seconds" || a == "--from") {
      if (i + 1 >= args.size()) return UsageError("record", a + " needs a value");
      const std::string& value = args[++i];
      if (a == "--from") {
        from = value;
      } else if (!ParseInt(value, seconds) || seconds < 1 || seconds > kMaxSeconds) {
        return UsageError(
            "record", "--seconds takes a whole number from 1 to " + std::to_string(kMaxSeconds));
      }
    } else if (a.size() > 1 && a[0] == '-') {
      return UsageError("record", "unknown option " + a);
    } else if (output.empty()) {
      output = a;
    } else {
      return UsageError("record", "only one output file can be given");
    }
  }
  if (output.empty()) return UsageError("record", "no output file given");
  if (seconds < 0) return UsageError("record", "--seconds is required");
  if (RecorderSaveKindOf(output) == RecorderSaveKind::kUnsupported) {
    Prompts().ShowMessage(recorder_dialog::kUnsupportedFormatMessage, {}, PromptIcon::kStop);
    return kExitFailure;
  }

  std::unique_ptr<SoundBackend> backend =
      from.empty() ? MakeSystemSoundBackend() : MakeFileSoundBackend(from, {});
  WaveRecorder recorder(*backend);
  const uint64_t frames = static_cast<uint64_t>(seconds) * WaveRecorder::kSamplesPerSec;
  if (!recorder.StartRecording(frames)) {
    Prompts().ShowMessage(from.empty() ? "No sound capture device: " + recorder.lastError()
                                       : "Cannot record from " + recorder.lastError(),
                          {}, PromptIcon::kStop);
    return kExitFailure;
  }
  // The device stops by itself at the frame limit (or at the end of a --from file); a
  // device that stalls is given a few seconds' grace.
  recorder.device().WaitUntilIdle(std::chrono::seconds(seconds + 5));
  recorder.StopSound();
  const std::string trouble = recorder.device().workerError();
  if (!trouble.empty()) {
    Prompts().ShowMessage("Recording stopped early: " + trouble, {}, PromptIcon::kWarning);
  }
  switch (SaveRecorderOutput(recorder, output)) {
    case RecorderSaveResult::kWavSaved:
    case RecorderSaveResult::kMp3Saved:
      return kExitOk;
    default:
      return kExitFailure;
  }
}

const CliRegistration kRegistration({
    "record",
    "record sound into a WAV or MP3 file",
    "Usage: quendrolix-cli record OUT.wav|OUT.mp3 --seconds N [--from FILE.wav]\n"
    "\n"
    "Records N seconds of 16-bit stereo sound at 44100 Hz from the default capture device\n"
    "and saves it as a WAV file, or as an MP3 file through the encoder library, by the\n"
    "output's extension. --from FILE.wav records from that file instead (8 or 16-bit PCM\n"
    "at 44100 Hz, mono or stereo; at most N seconds of it). Exits with 1 when there is no\n"
    "capture device or the recording cannot be saved.",
    RunRecord,
});

}  // namespace
}  // namespace quendrolix::cli
