#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <mutex>
#include <string>
#include <thread>

#include "platform/sound/sound_backend.h"
#include "platform/vfw/mmreg.h"

namespace quendrolix {

// The "waveaudio" device: one recording held by the device, recorded from and played to
// a SoundBackend. Recording and playback run on a worker thread and go on until stopped
// (or, for playback, until the recording's end); every other call returns at once except
// Stop, which waits for the worker to finish its current fragment. One thread drives the
// device.
class WaveAudioDevice {
 public:
  static constexpr uint64_t kUntilStopped = std::numeric_limits<uint64_t>::max();

  explicit WaveAudioDevice(SoundBackend& backend);
  ~WaveAudioDevice();
  WaveAudioDevice(const WaveAudioDevice&) = delete;
  WaveAudioDevice& operator=(const WaveAudioDevice&) = delete;

  // Opens a new, empty recording (closing what was open).
  bool Open();
  // The recording's sample format; only while nothing is recorded yet.
  bool SetFormat(uint16_t bitsPerSample, uint16_t channels, uint32_t samplesPerSec);
  // Starts recording at the end of what is held, until Stop or until `maxFrames` sample
  // frames are held. False, with error(), when the backend cannot record.
  bool Record(uint64_t maxFrames = kUntilStopped);
  void Stop();
  void SeekToStart();
  // Plays from the current position to the end of the recording.
  bool Play();
  // Writes the recording as a WAV file (under a temporary name, renamed into place).
  bool Save(const std::string& path);
  void Close();

  bool isOpen() const { return spool_ != nullptr; }
  // True while a recording or playback is running.
  bool busy() const { return busy_; }
  // Waits until the worker has finished by itself (end of a capture source, the frame
  // limit, the end of playback) or the timeout has passed; true when it has.
  bool WaitUntilIdle(std::chrono::milliseconds timeout);
  uint64_t recordedFrames() const { return recordedBytes_ / format_.nBlockAlign; }
  const WAVEFORMATEX& format() const { return format_; }
  const std::string& error() const { return error_; }
  // What went wrong on the worker during the last recording or playback, if anything.
  std::string workerError() const;

 private:
  void RecordLoop(std::unique_ptr<CaptureStream> stream, uint64_t maxBytes);
  void PlayLoop(std::unique_ptr<PlaybackStream> stream);
  void Finish(const std::string& error);
  bool Fail(const std::string& why);

  SoundBackend& backend_;
  WAVEFORMATEX format_;
  std::FILE* spool_ = nullptr;  // the recorded PCM, in a temporary file
  std::atomic<uint64_t> recordedBytes_{0};
  uint64_t playPosition_ = 0;  // bytes
  std::thread worker_;
  std::atomic<bool> stop_{false};
  std::atomic<bool> busy_{false};
  mutable std::mutex lock_;
  std::condition_variable idle_;
  std::string workerError_;
  std::string error_;
};

}  // namespace quendrolix
