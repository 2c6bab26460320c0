#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace quendrolix::testing {

// Writes a PCM WAV of `frames` sample frames with a deterministic, non-repeating pattern
// and returns its data chunk as stored.
std::vector<uint8_t> WritePcmWav(const std::string& path, uint32_t rate, uint16_t channels,
                                 uint16_t bits, uint32_t frames, uint32_t seed = 1);
// A 440 Hz tone at 16 bits (the same on every channel).
std::vector<uint8_t> WriteToneWav(const std::string& path, uint32_t rate, uint16_t channels,
                                  double seconds);

// The stand-in encoder libraries built by tests/sound_fixtures.
std::filesystem::path FakeEncoderLibraryPath();
std::filesystem::path FakeEncoderLibraryWithoutDeinitPath();

// Keeps the stand-in library loaded and reaches its test controls. A job that loads the
// same file shares this copy, so its calls show in trace().
class FakeEncoderLibrary {
 public:
  FakeEncoderLibrary();
  ~FakeEncoderLibrary();
  // chunkSamples 0: 1152 per channel; failAtEncode (1-based) returns failCode there.
  void Reset(uint32_t chunkSamples = 0, uint32_t failAtEncode = 0, uint32_t failCode = 0);
  std::string trace() const;

 private:
  void* handle_ = nullptr;
};

// What a walk over the frame headers of an MPEG audio layer III file finds.
struct Mp3Summary {
  bool valid = false;  // every byte belongs to a frame with a good header
  int frames = 0;
  int version = 0;  // 1 (MPEG-1), 2 (MPEG-2), 25 (MPEG-2.5)
  uint32_t sampleRate = 0;
  int channels = 0;
  uint64_t samplesPerChannel = 0;  // frames x samples per frame
};
Mp3Summary ScanMp3(const std::vector<uint8_t>& bytes);

}  // namespace quendrolix::testing
