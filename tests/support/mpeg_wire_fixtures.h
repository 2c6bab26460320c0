#pragma once

// AVI files with moving pictures and PCM (or other) sound, written through our own AVI
// file services, for the tests of the MPG conversions end to end.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/vfw/vfw.h"

namespace quendrolix::testing {

struct AviSoundSpec {
  uint16_t formatTag = 1;  // 1 = PCM
  uint32_t samplesPerSec = 22050;
  uint16_t channels = 1;
  uint16_t bitsPerSample = 16;
  double seconds = 0;  // 0: no sound stream
};

struct AviSpec {
  int width = 64, height = 48;
  int frames = 10;
  uint32_t rate = 10, scale = 1;  // frames per second = rate / scale
  int bits = 24;                  // 24, or 8 with the vfw fixtures' palette
  AviSoundSpec sound;
};

// The format record of the sound (WAVEFORMATEX, 18 bytes).
std::vector<uint8_t> SoundFormatBytes(const AviSoundSpec& sound);
// The sound's bytes: a 440 Hz tone at half scale (PCM of 8 or 16 bits), or a byte ramp for
// other formats; whole sample frames for `sound.seconds`.
std::vector<uint8_t> SoundBytes(const AviSoundSpec& sound);

// Writes the AVI: uncompressed frames of a moving picture and, when the spec has sound,
// one audio stream interleaved a frame period at a time. AVIERR_OK on success.
HRESULT WriteAviWithSound(const std::string& path, const AviSpec& spec);

}  // namespace quendrolix::testing
