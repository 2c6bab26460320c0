#include "mpeg/audio/mp3/wave_recorder_dialog.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <filesystem>

#include "mpeg/audio/mp3/mp3_commands.h"
#include "platform/host/conversion_log.h"
#include "platform/host/temp_names.h"
#include "platform/host/user_prompts.h"

namespace quendrolix {
namespace fs = std::filesystem;
using namespace recorder_dialog;

std::string RecorderElapsedText(uint64_t elapsedMs) {
  const uint64_t seconds = elapsedMs / 1000;
  return StringPrintf("%llu hrs %llu min %llu sec",
                      static_cast<unsigned long long>(elapsedMs / 3600000),
                      static_cast<unsigned long long>(seconds % 3600 / 60),
                      static_cast<unsigned long long>(seconds % 60));
}

RecorderSaveKind RecorderSaveKindOf(const std::string& path) {
  std::string extension = fs::path(path).extension().string();
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (extension == ".wav") return RecorderSaveKind::kWav;
  if (extension == ".mp3") return RecorderSaveKind::kMp3;
  return RecorderSaveKind::kUnsupported;
}

RecorderSaveResult SaveRecorderOutput(WaveRecorder& recorder, const std::string& path,
                                      Mp3CommandHost* host) {
  const RecorderSaveKind kind = RecorderSaveKindOf(path);
  if (kind == RecorderSaveKind::kWav) {
    if (recorder.SaveRecording(path)) return RecorderSaveResult::kWavSaved;
    Prompts().ShowMessage(StringPrintf("The recording could not be saved to %s: %s", path.c_str(),
                                       recorder.lastError().c_str()),
                          {}, PromptIcon::kStop);
    return RecorderSaveResult::kWavFailed;
  }
  if (kind == RecorderSaveKind::kUnsupported) {
    Prompts().ShowMessage(kUnsupportedFormatMessage, {}, PromptIcon::kStop);
    return RecorderSaveResult::kUnsupported;
  }
  // The WAV on the way takes the MP3's name with "wav" for its extension, unless that
  // would overwrite (and then delete) a file the user already has.
  fs::path wav = fs::path(path).replace_extension(".wav");
  std::error_code ec;
  if (fs::exists(wav, ec) || ec) {
    fs::path folder = wav.has_parent_path() ? wav.parent_path() : fs::path(".");
    wav = UniqueFileIn(folder, wav.stem().string(), ".wav");
  }
  if (!wav.empty() && !recorder.SaveRecording(wav.string())) fs::remove(wav, ec);
  const bool ok = SaveRecordingAsMp3(wav.string(), path, false, host);
  recorder.CloseSound();
  if (!wav.empty()) fs::remove(wav, ec);  // a failure to delete is ignored
  return ok ? RecorderSaveResult::kMp3Saved : RecorderSaveResult::kMp3Failed;
}

WaveRecorderDialog::WaveRecorderDialog(WaveRecorder& recorder, RecorderTimers& timers,
                                       std::function<uint64_t()> tickCount, Mp3CommandHost* host)
    : recorder_(recorder), timers_(timers), tickCount_(std::move(tickCount)), host_(host) {
  if (!tickCount_) {
    tickCount_ = [] {
      return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                       std::chrono::steady_clock::now().time_since_epoch())
                                       .count());
    };
  }
}

void WaveRecorderDialog::Changed() {
  if (onChanged) onChanged();
}

void WaveRecorderDialog::OnRecord() {
  recorder_.StopSound();
  timers_.SetTimer(kStartTimer, kStartDelayMs);
}

void WaveRecorderDialog::StartNow() {
  timers_.KillTimer(kStartTimer);
  if (!recorder_.StartRecording()) {
    // Nothing is recording: say so rather than run a clock over silence.
    EndRecordingDisplay();
    playEnabled_ = saveEnabled_ = false;
    Prompts().ShowMessage("The recording could not be started: " + recorder_.lastError(), {},
                          PromptIcon::kStop);
    Changed();
    return;
  }
  startTick_ = tickCount_();
  timers_.SetTimer(kElapsedTimer, kElapsedPeriodMs);
  recording_ = true;
  elapsedText_ = kInitialElapsedText;
  playEnabled_ = saveEnabled_ = true;
  Changed();
}

void WaveRecorderDialog::OnTimer(int id) {
  if (id == kStartTimer) {
    StartNow();
  } else if (id == kElapsedTimer && recording_) {
    const uint64_t elapsed = tickCount_() - startTick_;
    if (elapsed < 1000) return;  // the first second shows what was shown before
    elapsedText_ = RecorderElapsedText(elapsed);
    Changed();
  }
}

void WaveRecorderDialog::EndRecordingDisplay() {
  if (!recording_) return;
  timers_.KillTimer(kElapsedTimer);
  recording_ = false;
}

void WaveRecorderDialog::OnStop() {
  recorder_.StopSound();
  EndRecordingDisplay();
  Changed();
}

void WaveRecorderDialog::OnPlay() {
  // Playing ends a recording in progress, so its clock stops too.
  recorder_.StopSound();
  EndRecordingDisplay();
  recorder_.PlayBack();
  Changed();
}

RecorderSaveResult WaveRecorderDialog::OnSave(const std::string& path) {
  recorder_.StopSound();
  EndRecordingDisplay();
  RecorderSaveResult result = SaveRecorderOutput(recorder_, path, host_);
  if (result == RecorderSaveResult::kMp3Saved || result == RecorderSaveResult::kMp3Failed)
    playEnabled_ = saveEnabled_ = false;  // the recording was discarded
  Changed();
  return result;
}

void WaveRecorderDialog::OnClose() {
  recorder_.StopSound();
  EndRecordingDisplay();
  timers_.KillTimer(kStartTimer);
  recorder_.CloseSound();
}

}  // namespace quendrolix
