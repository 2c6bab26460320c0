#pragma once

// The sound format record as WAV files and AVI audio streams store it: what counts as PCM,
// PCM records for a layout, and 8-bit samples widened to 16 bits.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/vfw/mmreg.h"

namespace quendrolix {

// PCM proper, or WAVE_FORMAT_EXTENSIBLE whose sub-format is PCM. `bytes` is the whole
// record: the WAVEFORMATEX and the extra bytes its cbSize announces.
bool IsPcmFormat(const uint8_t* bytes, size_t size);
inline bool IsPcmFormat(const std::vector<uint8_t>& bytes) {
  return IsPcmFormat(bytes.data(), bytes.size());
}

// Presents PCM sound kept as WAVE_FORMAT_EXTENSIBLE as plain PCM (tag 1, cbSize 0), so
// that callers checking for PCM take it; other formats are returned as they are.
std::vector<uint8_t> PlainPcmFormat(const std::vector<uint8_t>& format);

// A PCM format record for the given layout.
WAVEFORMATEX PcmFormat(uint32_t samplesPerSec, uint16_t channels, uint16_t bitsPerSample);

// The length of sound whose header declares more than the file holds (a file cut short):
// the missing part is played as silence, but never more silence than there is sound, so
// that a damaged header claiming hours cannot turn a few bytes into hours of work.
constexpr uint64_t CutShortLength(uint64_t declared, uint64_t present) {
  return declared <= present
             ? present
             : present + (declared - present < present ? declared - present : present);
}

// An 8-bit PCM sample (unsigned, 128 is silence) at 16 bits.
constexpr int16_t WidenPcm8(uint8_t sample) {
  return static_cast<int16_t>((sample - 128) * 256);
}

}  // namespace quendrolix
