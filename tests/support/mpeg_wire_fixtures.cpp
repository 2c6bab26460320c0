#include "support/mpeg_wire_fixtures.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "support/mpeg_video_fixtures.h"
#include "support/vfw_fixtures.h"

namespace quendrolix::testing {
namespace {

uint16_t BlockAlign(const AviSoundSpec& sound) {
  return static_cast<uint16_t>(sound.channels * std::max(1, sound.bitsPerSample / 8));
}

uint64_t SampleFrames(const AviSoundSpec& sound) {
  return static_cast<uint64_t>(std::llround(sound.seconds * sound.samplesPerSec));
}

}  // namespace

std::vector<uint8_t> SoundFormatBytes(const AviSoundSpec& sound) {
  WAVEFORMATEX format{};
  format.wFormatTag = sound.formatTag;
  format.nChannels = sound.channels;
  format.nSamplesPerSec = sound.samplesPerSec;
  format.nBlockAlign = BlockAlign(sound);
  format.nAvgBytesPerSec = sound.samplesPerSec * format.nBlockAlign;
  format.wBitsPerSample = sound.bitsPerSample;
  format.cbSize = 0;
  const auto* p = reinterpret_cast<const uint8_t*>(&format);
  return std::vector<uint8_t>(p, p + sizeof format);
}

std::vector<uint8_t> SoundBytes(const AviSoundSpec& sound) {
  const uint64_t frames = SampleFrames(sound);
  const uint16_t align = BlockAlign(sound);
  std::vector<uint8_t> bytes(frames * align);
  const bool pcm = sound.formatTag == 1 && (sound.bitsPerSample == 8 || sound.bitsPerSample == 16);
  if (!pcm) {
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i * 7);
    return bytes;
  }
  const double kPi = 3.14159265358979323846;
  for (uint64_t t = 0; t < frames; ++t) {
    const double value =
        0.5 * std::sin(2 * kPi * 440.0 * static_cast<double>(t) / sound.samplesPerSec);
    for (int c = 0; c < sound.channels; ++c) {
      uint8_t* at = bytes.data() + t * align + static_cast<size_t>(c) * (sound.bitsPerSample / 8);
      if (sound.bitsPerSample == 8) {
        at[0] = static_cast<uint8_t>(128 + std::lround(value * 127));
      } else {
        const auto s = static_cast<int16_t>(std::lround(value * 32767));
        at[0] = static_cast<uint8_t>(s & 0xFF);
        at[1] = static_cast<uint8_t>((s >> 8) & 0xFF);
      }
    }
  }
  return bytes;
}

HRESULT WriteAviWithSound(const std::string& path, const AviSpec& spec) {
  ScopedAviFile file;
  HRESULT hr = AVIFileOpen(file.out(), path, OF_WRITE | OF_CREATE);
  if (hr != AVIERR_OK) return hr;

  std::vector<HDIB> frames;
  for (int i = 0; i < spec.frames; ++i)
    frames.push_back(spec.bits == 24 ? MovingPicture(spec.width, spec.height, i)
                                     : MakeTestFrame(spec.width, spec.height, spec.bits, i));
  const BITMAPINFOHEADER& h = frames.front()->header();
  AVISTREAMINFO videoInfo{};
  videoInfo.fccType = streamtypeVIDEO;
  videoInfo.fccHandler = MakeFourCC('D', 'I', 'B', ' ');
  videoInfo.dwScale = spec.scale;
  videoInfo.dwRate = spec.rate;
  videoInfo.dwSuggestedBufferSize = h.biSizeImage;
  videoInfo.rcFrame = {0, 0, h.biWidth, h.biHeight};
  ScopedAviStream video;
  hr = AVIFileCreateStream(file.get(), video.out(), &videoInfo);
  if (hr != AVIERR_OK) return hr;
  const std::vector<uint8_t> videoFormat = DibFormat(*frames.front());
  hr =
      AVIStreamSetFormat(video.get(), 0, videoFormat.data(), static_cast<LONG>(videoFormat.size()));
  if (hr != AVIERR_OK) return hr;

  const AviSoundSpec& sound = spec.sound;
  const bool withSound = sound.seconds > 0;
  ScopedAviStream audio;
  std::vector<uint8_t> soundData;
  const uint16_t align = BlockAlign(sound);
  if (withSound) {
    const std::vector<uint8_t> format = SoundFormatBytes(sound);
    AVISTREAMINFO audioInfo{};
    audioInfo.fccType = streamtypeAUDIO;
    audioInfo.dwScale = align;
    audioInfo.dwRate = sound.samplesPerSec * align;
    audioInfo.dwSampleSize = align;
    hr = AVIFileCreateStream(file.get(), audio.out(), &audioInfo);
    if (hr != AVIERR_OK) return hr;
    hr = AVIStreamSetFormat(audio.get(), 0, format.data(), static_cast<LONG>(format.size()));
    if (hr != AVIERR_OK) return hr;
    soundData = SoundBytes(sound);
  }

  const uint64_t soundFrames = soundData.size() / std::max<uint16_t>(align, 1);
  uint64_t soundWritten = 0;
  for (int i = 0; i <= spec.frames; ++i) {
    if (i < spec.frames) {
      const DibBlock& f = *frames[static_cast<size_t>(i)];
      hr = AVIStreamWrite(video.get(), i, 1, DibPixels(f),
                          static_cast<LONG>(f.size() - DibPixelOffset(f)), AVIIF_KEYFRAME, nullptr,
                          nullptr);
      if (hr != AVIERR_OK) return hr;
    }
    if (!withSound) continue;
    // The sound up to the end of this frame's period; the rest after the last frame.
    uint64_t until =
        i < spec.frames
            ? static_cast<uint64_t>((i + 1.0) * spec.scale / spec.rate * sound.samplesPerSec)
            : soundFrames;
    until = std::min(until, soundFrames);
    if (until <= soundWritten) continue;
    const uint64_t n = until - soundWritten;
    hr = AVIStreamWrite(audio.get(), static_cast<LONG>(soundWritten), static_cast<LONG>(n),
                        soundData.data() + soundWritten * align, static_cast<LONG>(n * align), 0,
                        nullptr, nullptr);
    if (hr != AVIERR_OK) return hr;
    soundWritten = until;
  }
  return AVIERR_OK;
}

}  // namespace quendrolix::testing
