#include "support/mpeg_audio_fixtures.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <numbers>
#include <random>

#include "mpeg/audio/audio_tables.h"

namespace quendrolix::testing {
namespace {

void PutLe16(std::vector<uint8_t>& v, uint32_t x) {
  v.push_back(static_cast<uint8_t>(x));
  v.push_back(static_cast<uint8_t>(x >> 8));
}
void PutLe32(std::vector<uint8_t>& v, uint32_t x) {
  PutLe16(v, x & 0xFFFF);
  PutLe16(v, x >> 16);
}

int16_t Clip(double v) {
  return static_cast<int16_t>(std::lround(std::clamp(v, -32768.0, 32767.0)));
}

class BitReader {
 public:
  BitReader(const uint8_t* data, size_t bytes) : data_(data), bits_(bytes * 8) {}
  bool Has(size_t n) const { return pos_ + n <= bits_; }
  uint32_t Get(int n) {
    uint32_t v = 0;
    for (int i = 0; i < n; ++i, ++pos_) v = (v << 1) | ((data_[pos_ / 8] >> (7 - pos_ % 8)) & 1u);
    return v;
  }
  size_t remaining() const { return bits_ - pos_; }

 private:
  const uint8_t* data_;
  size_t bits_, pos_ = 0;
};

}  // namespace

MemorySoundStream::MemorySoundStream(std::vector<uint8_t> formatBytes, std::vector<uint8_t> data,
                                     uint64_t declaredLength)
    : format_(std::move(formatBytes)), data_(std::move(data)), length_(declaredLength) {
  blockAlign_ = std::max<size_t>(1, Format().nBlockAlign);
}

long MemorySoundStream::Read(uint64_t start, uint64_t frames, void* buffer, size_t bufferBytes,
                             size_t* bytesRead, uint64_t* framesRead) {
  requests.emplace_back(start, frames);
  const uint64_t available = data_.size() / blockAlign_;
  uint64_t n = start < available ? std::min(frames, available - start) : 0;
  n = std::min<uint64_t>(n, bufferBytes / blockAlign_);
  std::memcpy(buffer, data_.data() + start * blockAlign_, n * blockAlign_);
  *bytesRead = n * blockAlign_;
  *framesRead = n;
  return 0;
}

std::vector<uint8_t> FormatRecord(uint16_t tag, uint32_t rate, uint16_t channels, uint16_t bits) {
  std::vector<uint8_t> f;
  const uint16_t align = static_cast<uint16_t>(channels * ((bits + 7) / 8));
  PutLe16(f, tag);
  PutLe16(f, channels);
  PutLe32(f, rate);
  PutLe32(f, rate * align);
  PutLe16(f, align);
  PutLe16(f, bits);
  PutLe16(f, 0);
  return f;
}

std::vector<uint8_t> Pcm16Bytes(const std::vector<int16_t>& samples) {
  std::vector<uint8_t> bytes;
  bytes.reserve(samples.size() * 2);
  for (int16_t s : samples) PutLe16(bytes, static_cast<uint16_t>(s));
  return bytes;
}

MemorySoundStream Pcm16Stream(uint32_t rate, uint16_t channels,
                              const std::vector<int16_t>& samples) {
  return MemorySoundStream(FormatRecord(WAVE_FORMAT_PCM, rate, channels, 16), Pcm16Bytes(samples),
                           samples.size() / channels);
}

const char* SignalName(Signal kind) {
  switch (kind) {
    case Signal::kSilence:
      return "silence";
    case Signal::kChord:
      return "chord";
    case Signal::kTransients:
      return "transients";
    case Signal::kNoise:
      return "noise";
    case Signal::kTone:
      return "tone";
  }
  return "?";
}

std::vector<int16_t> MakeSignal(Signal kind, uint32_t rate, int channels, size_t frames,
                                unsigned seed, double toneHz) {
  std::vector<int16_t> out(frames * channels);
  std::mt19937 random(seed);
  std::uniform_real_distribution<double> uniform(-1.0, 1.0);
  const double pi = std::numbers::pi;
  // Chords: a C major and an A minor triad with overtones, swelling slowly; the right
  // channel plays a slightly different voicing.
  const double chordHz[2][4] = {{261.63, 329.63, 392.0, 523.25}, {220.0, 261.63, 329.63, 659.26}};
  double pink[2][3] = {};
  double burst[2] = {};
  for (size_t n = 0; n < frames; ++n) {
    const double t = static_cast<double>(n) / rate;
    for (int ch = 0; ch < channels; ++ch) {
      double v = 0.0;
      switch (kind) {
        case Signal::kSilence:
          break;
        case Signal::kTone:
          v = 0.5 * std::sin(2 * pi * toneHz * t);
          break;
        case Signal::kChord: {
          const double swell = 0.6 + 0.4 * std::sin(2 * pi * 0.5 * t + ch);
          for (int k = 0; k < 4; ++k) {
            const double f = chordHz[ch % 2][k];
            if (f * 3 >= rate / 2.0) continue;
            v += swell * 0.12 * std::sin(2 * pi * f * t + k) + 0.04 * std::sin(2 * pi * 2 * f * t) +
                 0.02 * std::sin(2 * pi * 3 * f * t + 1);
          }
          break;
        }
        case Signal::kTransients: {
          // A click and a decaying noise burst eight times a second over a soft tone.
          const size_t period = rate / 8;
          if (n % period == 0) burst[ch] = 0.8;
          v = burst[ch] * uniform(random) + 0.05 * std::sin(2 * pi * 440 * t);
          if (n % period < 3) v += 0.5;
          burst[ch] *= std::exp(-1.0 / (0.01 * rate));
          break;
        }
        case Signal::kNoise: {
          // Roughly pink: three one-pole filters of white noise.
          const double w = uniform(random);
          pink[ch][0] = 0.99 * pink[ch][0] + 0.10 * w;
          pink[ch][1] = 0.90 * pink[ch][1] + 0.20 * w;
          pink[ch][2] = 0.50 * pink[ch][2] + 0.15 * w;
          v = 0.6 * (pink[ch][0] + pink[ch][1] + pink[ch][2]);
          break;
        }
      }
      out[n * channels + ch] = Clip(v * 32767.0);
    }
  }
  return out;
}

void WriteWavFile(const std::string& path, const std::vector<uint8_t>& formatBytes,
                  const std::vector<uint8_t>& data) {
  std::vector<uint8_t> file;
  file.insert(file.end(), {'R', 'I', 'F', 'F'});
  const size_t formatPadded = formatBytes.size() + (formatBytes.size() & 1);
  PutLe32(file, static_cast<uint32_t>(4 + 8 + formatPadded + 8 + data.size()));
  file.insert(file.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
  PutLe32(file, static_cast<uint32_t>(formatBytes.size()));
  file.insert(file.end(), formatBytes.begin(), formatBytes.end());
  if (formatBytes.size() & 1) file.push_back(0);
  file.insert(file.end(), {'d', 'a', 't', 'a'});
  PutLe32(file, static_cast<uint32_t>(data.size()));
  file.insert(file.end(), data.begin(), data.end());
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
}

void WritePcm16Wav(const std::string& path, uint32_t rate, uint16_t channels,
                   const std::vector<int16_t>& samples) {
  WriteWavFile(path, FormatRecord(WAVE_FORMAT_PCM, rate, channels, 16), Pcm16Bytes(samples));
}

bool ParseMp2(const std::vector<uint8_t>& bytes, std::vector<Mp2Frame>& frames,
              std::string* error) {
  static const int kRates[15] = {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384};
  auto fail = [&](const std::string& why, size_t at) {
    if (error) *error = why + " at byte " + std::to_string(at);
    return false;
  };
  frames.clear();
  size_t pos = 0;
  while (pos < bytes.size()) {
    if (pos + 4 > bytes.size()) return fail("truncated header", pos);
    BitReader h(&bytes[pos], 4);
    Mp2Frame f;
    f.offset = pos;
    if (h.Get(12) != 0xFFF) return fail("lost sync", pos);
    f.id = static_cast<int>(h.Get(1));
    f.layer = 4 - static_cast<int>(h.Get(2));
    f.protection = static_cast<int>(h.Get(1));
    f.bitrateIndex = static_cast<int>(h.Get(4));
    f.samplingFrequency = static_cast<int>(h.Get(2));
    f.padding = static_cast<int>(h.Get(1));
    f.privateBit = static_cast<int>(h.Get(1));
    f.mode = static_cast<int>(h.Get(2));
    f.modeExtension = static_cast<int>(h.Get(2));
    f.copyright = static_cast<int>(h.Get(1));
    f.original = static_cast<int>(h.Get(1));
    f.emphasis = static_cast<int>(h.Get(2));
    if (f.id != 1 || f.layer != 2 || f.samplingFrequency != 0 || f.bitrateIndex == 0 ||
        f.bitrateIndex == 15 || f.protection != 1)
      return fail("not a 44.1 kHz layer II header without CRC", pos);
    const int rate = kRates[f.bitrateIndex];
    f.bytes = static_cast<size_t>(144 * rate * 1000 / 44100 + f.padding);
    if (pos + f.bytes > bytes.size()) return fail("truncated frame", pos);
    f.channels = f.mode == 3 ? 1 : 2;
    // The standard's table choice at 44.1 kHz by the bit rate per channel.
    const int perChannel = rate / f.channels;
    const mp2::AllocTableNumber number = perChannel <= 48   ? mp2::kTableB2c
                                         : perChannel <= 80 ? mp2::kTableB2a
                                                            : mp2::kTableB2b;
    const mp2::AllocTable& table = mp2::HeldAllocTable(number);
    f.tableNumber = number;
    f.sblimit = table.sblimit;

    BitReader r(&bytes[pos], f.bytes);
    r.Get(32);
    auto need = [&](size_t n) { return r.Has(n); };
    for (int sb = 0; sb < f.sblimit; ++sb)
      for (int ch = 0; ch < f.channels; ++ch) {
        const int nbal = static_cast<int>(table.rows[sb][0].bits);
        if (!need(nbal)) return fail("allocation beyond the frame", pos);
        f.alloc[ch][sb] = static_cast<int>(r.Get(nbal));
        if (f.alloc[ch][sb] != 0 && table.rows[sb][f.alloc[ch][sb]].bits == 0)
          return fail("allocation index outside the table", pos);
      }
    for (int sb = 0; sb < f.sblimit; ++sb)
      for (int ch = 0; ch < f.channels; ++ch)
        if (f.alloc[ch][sb]) {
          if (!need(2)) return fail("scfsi beyond the frame", pos);
          f.scfsi[ch][sb] = static_cast<int>(r.Get(2));
        }
    for (int sb = 0; sb < f.sblimit; ++sb)
      for (int ch = 0; ch < f.channels; ++ch)
        if (f.alloc[ch][sb]) {
          const int count = f.scfsi[ch][sb] == 0 ? 3 : f.scfsi[ch][sb] == 2 ? 1 : 2;
          for (int i = 0; i < count; ++i) {
            if (!need(6)) return fail("scale factor beyond the frame", pos);
            f.scaleFactors.push_back(static_cast<int>(r.Get(6)));
          }
        }
    for (int gr = 0; gr < 12; ++gr)
      for (int sb = 0; sb < f.sblimit; ++sb)
        for (int ch = 0; ch < f.channels; ++ch)
          if (f.alloc[ch][sb]) {
            const mp2::AllocEntry& e = table.rows[sb][f.alloc[ch][sb]];
            const int words = e.group == 3 ? 3 : 1;
            for (int i = 0; i < words; ++i) {
              if (!need(e.bits)) return fail("samples beyond the frame", pos);
              const uint32_t code = r.Get(static_cast<int>(e.bits));
              if (e.group != 3 && code >= e.steps * e.steps * e.steps)
                return fail("grouped code out of range", pos);
            }
          }
    f.ancillaryBits = static_cast<int>(r.remaining());
    while (r.remaining() > 0)
      if (r.Get(1)) f.ancillaryZero = false;
    frames.push_back(f);
    pos += f.bytes;
  }
  return true;
}

double SnrDb(const std::vector<int16_t>& source, const std::vector<int16_t>& decoded, int channels,
             int lag, size_t skip) {
  const size_t frames =
      std::min(source.size() / channels, decoded.size() / channels - static_cast<size_t>(lag));
  double signal = 0.0, noise = 0.0;
  for (size_t n = skip; n + skip < frames; ++n)
    for (int ch = 0; ch < channels; ++ch) {
      const double x = source[n * channels + ch];
      const double y = decoded[(n + lag) * channels + ch];
      signal += x * x;
      noise += (x - y) * (x - y);
    }
  if (noise == 0.0) return 200.0;
  return 10.0 * std::log10(signal / noise);
}

int BestLag(const std::vector<int16_t>& source, const std::vector<int16_t>& decoded, int channels,
            int maxLag) {
  // Judged on a stretch of channel 0 a little way in.
  const size_t frames = std::min(source.size(), decoded.size()) / channels;
  const size_t start = std::min<size_t>(4096, frames / 4);
  const size_t end =
      std::min(frames > static_cast<size_t>(maxLag) ? frames - maxLag : 0, start + 16384);
  int best = 0;
  double bestNoise = -1.0;
  for (int lag = 0; lag <= maxLag; ++lag) {
    double noise = 0.0;
    for (size_t n = start; n < end; ++n) {
      const double d = static_cast<double>(source[n * channels]) -
                       decoded[(n + static_cast<size_t>(lag)) * channels];
      noise += d * d;
    }
    if (bestNoise < 0.0 || noise < bestNoise) {
      bestNoise = noise;
      best = lag;
    }
  }
  return best;
}

std::vector<int16_t> ReadS16File(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<char> raw((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<int16_t> samples(raw.size() / 2);
  for (size_t i = 0; i < samples.size(); ++i)
    samples[i] = static_cast<int16_t>(static_cast<uint8_t>(raw[2 * i]) |
                                      static_cast<uint8_t>(raw[2 * i + 1]) << 8);
  return samples;
}

}  // namespace quendrolix::testing
