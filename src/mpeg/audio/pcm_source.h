#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "mpeg/audio/sound_stream.h"

namespace quendrolix {

// Logs the first reason the encoder cannot take this sound and returns false: a
// compressed format, a rate other than 11025, 22050 or 44100 Hz, a sample size other
// than 8 or 16 bits, more than two channels, or a block size that does not match.
bool CheckSoundFormat(const SoundStreamReader& stream);

// The sound of an open stream as the encoder takes it: 44.1 kHz 16-bit PCM in blocks of
// 1152 samples per channel. 8-bit sound is widened; 11.025 and 22.05 kHz sound is raised
// by repeating samples and then smoothed by four passes of a short filter whose history
// (Mp2Engine().smoothing) carries from block to block. Sample frames the stream fails to
// deliver are replaced by silence and counted in Mp2Engine().zeroFilledFrames.
// The stream must have passed CheckSoundFormat; it is read from frame 0.
class PcmSource {
 public:
  static constexpr int kBlock = 1152;
  static constexpr size_t kTransferBytes = 4608;

  explicit PcmSource(SoundStreamReader& stream);

  int channels() const { return channels_; }
  uint32_t samplesPerSec() const { return samplesPerSec_; }
  int bitsPerSample() const { return bitsPerSample_; }
  // Samples to encode at 44.1 kHz, both channels counted.
  uint64_t totalSamples() const { return total_; }
  // Samples not yet delivered (the total before the first read).
  uint64_t samplesStillToDeliver() const { return firstRead_ ? total_ : still_; }

  // Fills 1152 samples of each channel (`right` all zeros for mono) and returns the
  // samples delivered at 44.1 kHz over both channels; 0 at the end. A short last block
  // is padded with zeros and counts as full.
  size_t ReadBlock(int16_t* left, int16_t* right);

 private:
  void Smooth(int16_t* samples, size_t count);

  SoundStreamReader& stream_;
  int channels_;
  uint32_t samplesPerSec_;
  int bitsPerSample_;
  int blockAlign_;
  int factor_;  // 1, 2 or 4: how many 44.1 kHz samples each source sample becomes
  uint64_t total_;
  uint64_t still_ = 0;
  uint64_t position_ = 0;  // in source sample frames
  bool firstRead_ = true;
  std::array<uint8_t, kTransferBytes> transfer_{};
  std::array<int16_t, 2 * kBlock> block_{};
};

}  // namespace quendrolix
