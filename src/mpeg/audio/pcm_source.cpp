#include "mpeg/audio/pcm_source.h"

#include <algorithm>
#include <cstring>

#include "mpeg/audio/mp2_engine.h"
#include "platform/host/conversion_log.h"
#include "platform/vfw/wave_format.h"

namespace quendrolix {

bool CheckSoundFormat(const SoundStreamReader& stream) {
  const WAVEFORMATEX format = stream.Format();
  if (!stream.IsPcm()) {
    ReportLine("Error: compressed audio is unsupported");
    return false;
  }
  if (format.nSamplesPerSec != 11025 && format.nSamplesPerSec != 22050 &&
      format.nSamplesPerSec != 44100) {
    ReportLine("Error: unsupported audio sampling rate (must be 11.025, 22.05, or 44.1kHz)");
    return false;
  }
  if (format.wBitsPerSample != 8 && format.wBitsPerSample != 16) {
    ReportLine("Error: %i bit audio is not supported (must be 8 or 16)", format.wBitsPerSample);
    return false;
  }
  // The block arithmetic is made for one or two channels.
  if (format.nChannels < 1 || format.nChannels > 2) {
    ReportLine("Error: %i channel audio is not supported (must be 1 or 2)", format.nChannels);
    return false;
  }
  if (format.nBlockAlign != format.nChannels * format.wBitsPerSample / 8) {
    ReportLine("Error: damaged audio format (%u bytes per sample frame)", format.nBlockAlign);
    return false;
  }
  return true;
}

PcmSource::PcmSource(SoundStreamReader& stream) : stream_(stream) {
  const WAVEFORMATEX format = stream.Format();
  channels_ = format.nChannels == 1 ? 1 : 2;
  samplesPerSec_ = format.nSamplesPerSec;
  bitsPerSample_ = format.wBitsPerSample;
  blockAlign_ = channels_ * (bitsPerSample_ == 8 ? 1 : 2);
  factor_ = samplesPerSec_ == 22050 ? 2 : samplesPerSec_ == 11025 ? 4 : 1;
  total_ = stream.Length() * static_cast<uint64_t>(channels_) * static_cast<uint64_t>(factor_);
}

size_t PcmSource::ReadBlock(int16_t* left, int16_t* right) {
  const size_t wanted = static_cast<size_t>(kBlock) * channels_;
  if (firstRead_) {
    still_ = total_;
    firstRead_ = false;
  }
  const size_t n = static_cast<size_t>(std::min<uint64_t>(still_, wanted));
  const size_t frames = n / channels_ / factor_;

  uint64_t got = 0;
  if (frames > 0) {
    size_t bytes = 0;
    if (stream_.Read(position_, frames, transfer_.data(), transfer_.size(), &bytes, &got) != 0)
      got = 0;
    got = std::min<uint64_t>(got, frames);
    position_ += got;
  }
  if (got < frames) {
    // What the stream did not deliver becomes silence, placed after what it did.
    const uint8_t silence = bitsPerSample_ == 8 ? 128 : 0;
    std::memset(transfer_.data() + got * blockAlign_, silence, (frames - got) * blockAlign_);
    Mp2Engine().zeroFilledFrames += frames - got;
  }
  still_ -= n;

  // Source samples to 16-bit values, each repeated `factor_` times per channel.
  const size_t sourceSamples = frames * channels_;
  for (size_t i = 0; i < sourceSamples; ++i) {
    int16_t value;
    if (bitsPerSample_ == 8) {
      value = WidenPcm8(transfer_[i]);
    } else {
      value = static_cast<int16_t>(static_cast<uint16_t>(transfer_[2 * i]) |
                                   static_cast<uint16_t>(transfer_[2 * i + 1]) << 8);
    }
    const size_t frame = i / channels_, channel = i % channels_;
    for (int r = 0; r < factor_; ++r) block_[(frame * factor_ + r) * channels_ + channel] = value;
  }
  if (factor_ > 1) Smooth(block_.data(), n);

  size_t delivered = n;
  if (n > 0 && n < wanted) {
    std::fill(block_.begin() + static_cast<long>(n), block_.begin() + static_cast<long>(wanted),
              int16_t{0});
    still_ = 0;
    delivered = wanted;
  }
  if (n == 0) std::fill(block_.begin(), block_.end(), int16_t{0});

  if (channels_ == 1) {
    std::copy_n(block_.begin(), kBlock, left);
    std::fill_n(right, kBlock, int16_t{0});
  } else {
    for (int i = 0; i < kBlock; ++i) {
      left[i] = block_[2 * i];
      right[i] = block_[2 * i + 1];
    }
  }
  return delivered;
}

// Four passes of a short low-pass filter over the raised samples, each channel on its
// own; every pass starts from the last eight values its input had in the block before.
void PcmSource::Smooth(int16_t* samples, size_t count) {
  static constexpr double kTaps2[4] = {0.612626, 0.375311, 0.0, 0.0};
  static constexpr double kTaps4[4] = {0.516851, 0.267135, 0.138069, 0.071361};
  const double* taps = factor_ == 2 ? kTaps2 : kTaps4;
  const int tapCount = factor_ == 2 ? 2 : 4;
  const size_t step = static_cast<size_t>(channels_);
  constexpr size_t kHistory = 8;

  int16_t extended[kHistory + 2 * kBlock];
  for (auto& history : Mp2Engine().smoothing.passes) {
    std::copy(history.begin(), history.end(), extended);
    std::copy_n(samples, count, extended + kHistory);
    for (size_t t = 0; t < count; ++t) {
      const int16_t* x = extended + kHistory + t;
      double y = taps[0] * x[0];
      for (int d = 1; d < tapCount; ++d) y += taps[d] * x[-static_cast<long>(d * step)];
      samples[t] = static_cast<int16_t>(y);  // toward zero
    }
    std::copy_n(extended + count, kHistory, history.begin());
  }
}

}  // namespace quendrolix
