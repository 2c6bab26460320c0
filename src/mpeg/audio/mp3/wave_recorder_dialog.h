#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "mpeg/audio/mp3/wave_recorder.h"

namespace quendrolix {

class Mp3CommandHost;

// The "MP3/WAV Sound Recorder" dialog's rules and state. The Qt dialog binds its widgets
// to this: it forwards clicks and timer ticks and shows elapsedText() and the enabled
// states after each call (onChanged tells it when they changed).
namespace recorder_dialog {
constexpr char kTitle[] = "MP3/WAV Sound Recorder";
constexpr int kRecordButton = 1054;
constexpr int kPlayButton = 1055;
constexpr int kSaveButton = 1056;
constexpr int kStopButton = 1057;
constexpr int kElapsedText = 1060;
// One-shot timer that starts the recording once the Record click has returned.
constexpr int kStartTimer = 123;
constexpr unsigned kStartDelayMs = 1;
// Refreshes the elapsed time while recording.
constexpr int kElapsedTimer = 124;
constexpr unsigned kElapsedPeriodMs = 330;
constexpr char kSaveFilter[] = "MP3 File|*.mp3|WAV File|*.wav||";
constexpr char kSaveDefaultExtension[] = "mp3";
constexpr char kInitialElapsedText[] = "0 hrs 0 min 0 sec";
// String 149, shown for a save name that is neither ".wav" nor ".mp3".
constexpr char kUnsupportedFormatMessage[] = "The specified format it not supported.";
}  // namespace recorder_dialog

// "%d hrs %d min %d sec" for a recording time in milliseconds.
std::string RecorderElapsedText(uint64_t elapsedMs);

// The dialog's window timers, provided by the front.
class RecorderTimers {
 public:
  virtual ~RecorderTimers() = default;
  virtual void SetTimer(int id, unsigned milliseconds) = 0;  // replaces a running one
  virtual void KillTimer(int id) = 0;
};

enum class RecorderSaveKind { kWav, kMp3, kUnsupported };
// What a save name asks for, by its extension in either case.
RecorderSaveKind RecorderSaveKindOf(const std::string& path);

enum class RecorderSaveResult { kWavSaved, kWavFailed, kMp3Saved, kMp3Failed, kUnsupported };

// Saves the recorder's recording by the name's extension (either case): ".wav" as given;
// ".mp3" through a temporary WAV beside it (the name with "wav" for its extension, or a
// fresh name when that file already exists) that the MP3 conversion reads and that is
// removed afterwards; the recording is then closed. Any other name shows string 149 and
// saves nothing.
RecorderSaveResult SaveRecorderOutput(WaveRecorder& recorder, const std::string& path,
                                      Mp3CommandHost* host = nullptr);

class WaveRecorderDialog {
 public:
  // `tickCount` gives milliseconds of a steady clock (default: the system's).
  WaveRecorderDialog(WaveRecorder& recorder, RecorderTimers& timers,
                     std::function<uint64_t()> tickCount = {}, Mp3CommandHost* host = nullptr);

  void OnRecord();
  void OnTimer(int id);
  void OnStop();
  void OnPlay();
  // After the save dialog returned `path` (a cancelled dialog does not call this).
  RecorderSaveResult OnSave(const std::string& path);
  // The Close button, or the dialog going away: the device is closed.
  void OnClose();

  const std::string& elapsedText() const { return elapsedText_; }
  bool playEnabled() const { return playEnabled_; }
  bool saveEnabled() const { return saveEnabled_; }
  bool recording() const { return recording_; }

  std::function<void()> onChanged;

 private:
  void StartNow();
  void EndRecordingDisplay();
  void Changed();

  WaveRecorder& recorder_;
  RecorderTimers& timers_;
  std::function<uint64_t()> tickCount_;
  Mp3CommandHost* host_;
  uint64_t startTick_ = 0;
  bool recording_ = false;
  bool playEnabled_ = false;
  bool saveEnabled_ = false;
  std::string elapsedText_ = recorder_dialog::kInitialElapsedText;
};

}  // namespace quendrolix
