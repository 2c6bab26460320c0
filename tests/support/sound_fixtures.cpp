#include "support/sound_fixtures.h"

#include <dlfcn.h>

#include <cmath>
#include <stdexcept>

#include "platform/vfw/wav_file.h"
#include "support/test_support.h"

namespace quendrolix::testing {
namespace fs = std::filesystem;

namespace {
std::vector<uint8_t> WriteWav(const std::string& path, uint32_t rate, uint16_t channels,
                              uint16_t bits, const std::vector<uint8_t>& data) {
  WavWriter writer;
  if (!writer.Open(path, PcmFormat(rate, channels, bits)) ||
      !writer.Write(data.data(), data.size()) || !writer.Close())
    throw std::runtime_error("cannot write " + path);
  return data;
}
}  // namespace

std::vector<uint8_t> WritePcmWav(const std::string& path, uint32_t rate, uint16_t channels,
                                 uint16_t bits, uint32_t frames, uint32_t seed) {
  std::vector<uint8_t> data(size_t{frames} * channels * (bits / 8));
  uint32_t x = seed * 2654435761u + 12345u;
  for (auto& b : data) {
    x = x * 1103515245u + 12345u;
    b = static_cast<uint8_t>(x >> 23);
  }
  return WriteWav(path, rate, channels, bits, data);
}

std::vector<uint8_t> WriteToneWav(const std::string& path, uint32_t rate, uint16_t channels,
                                  double seconds) {
  const auto frames = static_cast<size_t>(seconds * rate);
  std::vector<uint8_t> data(frames * channels * 2);
  for (size_t i = 0; i < frames; ++i) {
    auto v = static_cast<int16_t>(12000 * std::sin(2 * M_PI * 440.0 * double(i) / rate));
    for (uint16_t c = 0; c < channels; ++c) {
      data[(i * channels + c) * 2] = static_cast<uint8_t>(v & 0xFF);
      data[(i * channels + c) * 2 + 1] = static_cast<uint8_t>((v >> 8) & 0xFF);
    }
  }
  return WriteWav(path, rate, channels, 16, data);
}

fs::path FakeEncoderLibraryPath() {
  return BinaryDir() / "bin/test-dll/libfake_bladeenc.so";
}
fs::path FakeEncoderLibraryWithoutDeinitPath() {
  return BinaryDir() / "bin/test-dll/libfake_bladeenc_nodeinit.so";
}

FakeEncoderLibrary::FakeEncoderLibrary() {
  handle_ = ::dlopen(FakeEncoderLibraryPath().c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle_) throw std::runtime_error("cannot load the stand-in encoder library");
  Reset();
}

FakeEncoderLibrary::~FakeEncoderLibrary() {
  ::dlclose(handle_);
}

void FakeEncoderLibrary::Reset(uint32_t chunkSamples, uint32_t failAtEncode, uint32_t failCode) {
  auto reset = reinterpret_cast<void (*)(uint32_t, uint32_t, uint32_t)>(
      ::dlsym(handle_, "fakeEncoderReset"));
  reset(chunkSamples, failAtEncode, failCode);
}

std::string FakeEncoderLibrary::trace() const {
  auto trace = reinterpret_cast<const char* (*)()>(::dlsym(handle_, "fakeEncoderTrace"));
  return trace();
}

Mp3Summary ScanMp3(const std::vector<uint8_t>& bytes) {
  // Bit rates (kbit/s) of layer III by index, for MPEG-1 and for MPEG-2/2.5.
  static constexpr int kRates1[16] = {0,   32,  40,  48,  56,  64,  80,  96,
                                      112, 128, 160, 192, 224, 256, 320, 0};
  static constexpr int kRates2[16] = {0,  8,  16, 24,  32,  40,  48,  56,
                                      64, 80, 96, 112, 128, 144, 160, 0};
  static constexpr uint32_t kSampleRates[3] = {44100, 48000, 32000};
  Mp3Summary s;
  size_t pos = 0;
  while (pos + 4 <= bytes.size()) {
    const uint8_t* h = bytes.data() + pos;
    if (h[0] != 0xFF || (h[1] & 0xE0) != 0xE0) return s;
    const int versionBits = (h[1] >> 3) & 3;
    const int layerBits = (h[1] >> 1) & 3;
    const int rateIndex = h[2] >> 4;
    const int freqIndex = (h[2] >> 2) & 3;
    if (versionBits == 1 || layerBits != 1 || rateIndex == 0 || rateIndex == 15 || freqIndex == 3)
      return s;
    const int version = versionBits == 3 ? 1 : versionBits == 2 ? 2 : 25;
    const uint32_t rate = kSampleRates[freqIndex] / (version == 1 ? 1 : version == 2 ? 2 : 4);
    const int kbps = version == 1 ? kRates1[rateIndex] : kRates2[rateIndex];
    const int samples = version == 1 ? 1152 : 576;
    const size_t length = size_t(samples / 8) * kbps * 1000 / rate + ((h[2] >> 1) & 1);
    const int channels = (h[3] >> 6) == 3 ? 1 : 2;
    if (s.frames == 0) {
      s.version = version;
      s.sampleRate = rate;
      s.channels = channels;
    } else if (version != s.version || rate != s.sampleRate || channels != s.channels) {
      return s;
    }
    ++s.frames;
    s.samplesPerChannel += static_cast<uint64_t>(samples);
    pos += length;
  }
  s.valid = pos == bytes.size() && s.frames > 0;
  return s;
}

}  // namespace quendrolix::testing
