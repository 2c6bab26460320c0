#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/sound/sound_backend.h"
#include "platform/sound/wave_audio_device.h"

namespace quendrolix {

// The recorder's sound device: records a new recording at 16 bits, 2 channels, 44100
// samples per second, plays it back and saves it as a WAV file.
class WaveRecorder {
 public:
  static constexpr uint16_t kBitsPerSample = 16;
  static constexpr uint16_t kChannels = 2;
  static constexpr uint32_t kSamplesPerSec = 44100;

  explicit WaveRecorder(SoundBackend& backend);
  ~WaveRecorder();

  // Discards what was open and starts a new recording (until stopped, or until
  // `maxFrames` sample frames). False, with lastError(), when the device cannot be opened
  // or cannot record; nothing is left open then.
  bool StartRecording(uint64_t maxFrames = WaveAudioDevice::kUntilStopped);
  // Stops recording or playback; the recording stays open.
  void StopSound();
  // Plays the recording from its start; false when there is nothing to play.
  bool PlayBack();
  // Stops and writes the recording as a WAV file; false when nothing is open or the file
  // cannot be written.
  bool SaveRecording(const std::string& path);
  // Stops and discards the recording.
  void CloseSound();

  bool deviceOpen() const { return device_.isOpen(); }
  bool recordingOpen() const { return recordingOpen_; }
  bool canPlay() const { return canPlay_; }
  const std::string& lastError() const { return lastError_; }
  WaveAudioDevice& device() { return device_; }

 private:
  WaveAudioDevice device_;
  bool recordingOpen_ = false;
  bool canPlay_ = false;
  std::string lastError_;
};

}  // namespace quendrolix
