#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/vfw/mmreg.h"

namespace quendrolix {

// A source of recorded sound: blocking reads of interleaved PCM, whole sample frames, in
// the format the stream was opened with.
class CaptureStream {
 public:
  virtual ~CaptureStream() = default;
  // Fills up to `bytes` (a whole number of frames); returns the bytes read, 0 when a
  // finite source has ended, -1 on an error.
  virtual int64_t Read(void* buffer, size_t bytes) = 0;
};

// Where played sound goes: blocking writes of interleaved PCM.
class PlaybackStream {
 public:
  virtual ~PlaybackStream() = default;
  virtual bool Write(const void* data, size_t bytes) = 0;
  // Waits until what was written has been played out.
  virtual bool Drain() = 0;
  // Drops what is still queued (playback stopped early).
  virtual void Discard() {}
  // How long sound written now waits before it is heard: what the device still holds.
  // 0 when the device does not say.
  virtual double LatencySeconds() { return 0; }
};

// The machine's sound card, or whatever stands in for it.
class SoundBackend {
 public:
  virtual ~SoundBackend() = default;
  // Null with a reason in `error` when the format cannot be had or there is no device.
  virtual std::unique_ptr<CaptureStream> OpenCapture(const WAVEFORMATEX& format,
                                                     std::string* error) = 0;
  virtual std::unique_ptr<PlaybackStream> OpenPlayback(const WAVEFORMATEX& format,
                                                       std::string* error) = 0;
};

// The desktop's sound system (PulseAudio's simple API when the build found it); without
// one, a backend whose every open fails with a reason.
std::unique_ptr<SoundBackend> MakeSystemSoundBackend();

// Records from a WAV file and plays into a WAV file: for tests and for machines without a
// sound card. The capture file's sound is delivered as fast as it is read and may differ
// from the recording format in channels (1 or 2) and sample size (8 or 16 bits), which
// are converted; its rate must match. Each playback writes the played sound to a new
// `playbackWav`. Either path may be empty, making that direction unavailable.
std::unique_ptr<SoundBackend> MakeFileSoundBackend(const std::string& captureWav,
                                                   const std::string& playbackWav);

}  // namespace quendrolix
