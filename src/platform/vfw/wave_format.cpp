#include "platform/vfw/wave_format.h"

#include <cstring>

namespace quendrolix {
namespace {

// The PCM sub-format GUID of WAVE_FORMAT_EXTENSIBLE: 00000001-0000-0010-8000-00aa00389b71.
constexpr uint8_t kPcmSubFormat[16] = {0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00,
                                       0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
// Extensible: cbSize >= 22, then valid bits (2), channel mask (4), sub-format GUID (16).
constexpr size_t kSubFormatOffset = sizeof(WAVEFORMATEX) + 6;

bool IsExtensiblePcm(const uint8_t* bytes, size_t size, const WAVEFORMATEX& w) {
  return w.wFormatTag == WAVE_FORMAT_EXTENSIBLE && w.cbSize >= 22 &&
         size >= sizeof(WAVEFORMATEX) + 22 &&
         std::memcmp(bytes + kSubFormatOffset, kPcmSubFormat, 16) == 0;
}

}  // namespace

bool IsPcmFormat(const uint8_t* bytes, size_t size) {
  if (!bytes || size < 16) return false;
  WAVEFORMATEX w{};
  std::memcpy(&w, bytes, std::min(size, sizeof w));
  if (size < sizeof w) w.cbSize = 0;
  return w.wFormatTag == WAVE_FORMAT_PCM || IsExtensiblePcm(bytes, size, w);
}

std::vector<uint8_t> PlainPcmFormat(const std::vector<uint8_t>& format) {
  if (format.size() < sizeof(WAVEFORMATEX) + 22) return format;
  WAVEFORMATEX w;
  std::memcpy(&w, format.data(), sizeof w);
  if (!IsExtensiblePcm(format.data(), format.size(), w)) return format;
  w.wFormatTag = WAVE_FORMAT_PCM;
  w.cbSize = 0;
  std::vector<uint8_t> plain(sizeof w);
  std::memcpy(plain.data(), &w, sizeof w);
  return plain;
}

WAVEFORMATEX PcmFormat(uint32_t samplesPerSec, uint16_t channels, uint16_t bitsPerSample) {
  WAVEFORMATEX f{};
  f.wFormatTag = WAVE_FORMAT_PCM;
  f.nChannels = channels;
  f.nSamplesPerSec = samplesPerSec;
  f.nBlockAlign = static_cast<uint16_t>(channels * ((bitsPerSample + 7) / 8));
  f.nAvgBytesPerSec = samplesPerSec * f.nBlockAlign;
  f.wBitsPerSample = bitsPerSample;
  f.cbSize = 0;
  return f;
}

}  // namespace quendrolix
