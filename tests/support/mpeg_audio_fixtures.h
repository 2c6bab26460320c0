#pragma once

// Test helpers of the MPEG audio area: sound streams in memory, test signals, WAV files
// of any layout, and a reader of layer II frames written from the standard's syntax.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "mpeg/audio/sound_stream.h"

namespace quendrolix::testing {

// A sound stream over bytes in memory. `Length()` may claim more frames than the bytes
// hold, like a damaged file; reads past the bytes deliver nothing.
class MemorySoundStream : public SoundStreamReader {
 public:
  MemorySoundStream(std::vector<uint8_t> formatBytes, std::vector<uint8_t> data,
                    uint64_t declaredLength);
  const std::vector<uint8_t>& FormatBytes() const override { return format_; }
  uint64_t Length() const override { return length_; }
  long Read(uint64_t start, uint64_t frames, void* buffer, size_t bufferBytes, size_t* bytesRead,
            uint64_t* framesRead) override;
  // Every request as (start, frames).
  std::vector<std::pair<uint64_t, uint64_t>> requests;

 private:
  std::vector<uint8_t> format_, data_;
  uint64_t length_;
  size_t blockAlign_;
};

std::vector<uint8_t> FormatRecord(uint16_t tag, uint32_t rate, uint16_t channels, uint16_t bits);
std::vector<uint8_t> Pcm16Bytes(const std::vector<int16_t>& samples);
// A PCM stream of 16-bit interleaved samples.
MemorySoundStream Pcm16Stream(uint32_t rate, uint16_t channels,
                              const std::vector<int16_t>& samples);

enum class Signal { kSilence, kChord, kTransients, kNoise, kTone };
// Interleaved 16-bit samples, `frames` sample frames; deterministic for a given seed.
// kTone is a sine of `toneHz` at half scale in every channel.
std::vector<int16_t> MakeSignal(Signal kind, uint32_t rate, int channels, size_t frames,
                                unsigned seed = 1, double toneHz = 1000.0);
const char* SignalName(Signal kind);

// Writes a WAV file with the given format record and raw data bytes.
void WriteWavFile(const std::string& path, const std::vector<uint8_t>& formatBytes,
                  const std::vector<uint8_t>& data);
void WritePcm16Wav(const std::string& path, uint32_t rate, uint16_t channels,
                   const std::vector<int16_t>& samples);

// One layer II frame as read back.
struct Mp2Frame {
  size_t offset = 0, bytes = 0;
  int id = 0, layer = 0, protection = 0, bitrateIndex = 0, samplingFrequency = 0;
  int padding = 0, privateBit = 0, mode = 0, modeExtension = 0, copyright = 0, original = 0,
      emphasis = 0;
  int channels = 0, sblimit = 0, tableNumber = -1;
  int alloc[2][32] = {};
  int scfsi[2][32] = {};
  std::vector<int> scaleFactors;  // as transmitted, in stream order
  int ancillaryBits = 0;
  bool ancillaryZero = true;
};
// Reads every frame of a 44.1 kHz layer II stream; false with a reason at the first fault
// (lost sync, a frame that does not fit its length, a truncated frame).
bool ParseMp2(const std::vector<uint8_t>& bytes, std::vector<Mp2Frame>& frames, std::string* error);

// Signal-to-noise ratio (dB) of `decoded` against `source`, both interleaved with
// `channels`, the decoded sound delayed by `lag` sample frames; over the frames both
// have, skipping `skip` frames at each end.
double SnrDb(const std::vector<int16_t>& source, const std::vector<int16_t>& decoded, int channels,
             int lag, size_t skip);
// The lag in 0..maxLag that gives the best SNR.
int BestLag(const std::vector<int16_t>& source, const std::vector<int16_t>& decoded, int channels,
            int maxLag);
std::vector<int16_t> ReadS16File(const std::string& path);

}  // namespace quendrolix::testing
