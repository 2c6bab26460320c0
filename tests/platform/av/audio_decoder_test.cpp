// Sound through the library decoders: any file to 16-bit PCM at a chosen rate and layout,
// AVI chunks cut anywhere, and the PCM converter on its own.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "platform/av/audio_decoder.h"
#include "platform/av/pcm_converter.h"
#include "platform/vfw/wav_file.h"
#include "support/test_support.h"

namespace quendrolix {
namespace {
using namespace testing;

constexpr double kPi = 3.14159265358979323846;

// A WAV of `seconds` of a `hz` tone on every channel, at any depth the format holds:
// 8, 16, 24, 32-bit integers or 32-bit float.
void WriteTone(const std::string& path, int rate, int channels, int bits, bool isFloat, double hz,
               double seconds) {
  WAVEFORMATEX f = PcmFormat(static_cast<uint32_t>(rate), static_cast<uint16_t>(channels),
                             static_cast<uint16_t>(bits));
  if (isFloat) f.wFormatTag = WAVE_FORMAT_IEEE_FLOAT;
  WavWriter writer;
  ASSERT_TRUE(writer.Open(path, f));
  const int frames = static_cast<int>(seconds * rate);
  std::vector<uint8_t> bytes;
  for (int i = 0; i < frames; ++i) {
    const double v = 0.5 * std::sin(2 * kPi * hz * i / rate);
    for (int c = 0; c < channels; ++c) {
      if (isFloat) {
        const float x = static_cast<float>(v);
        const auto* p = reinterpret_cast<const uint8_t*>(&x);
        bytes.insert(bytes.end(), p, p + 4);
      } else if (bits == 8) {
        bytes.push_back(static_cast<uint8_t>(128 + std::lround(v * 127)));
      } else {
        const int64_t full = std::llround(v * ((int64_t{1} << (bits - 1)) - 1));
        for (int b = 0; b < bits / 8; ++b) bytes.push_back(static_cast<uint8_t>(full >> (8 * b)));
      }
    }
  }
  ASSERT_TRUE(writer.Write(bytes.data(), bytes.size()));
  ASSERT_TRUE(writer.Close());
}

std::vector<int16_t> ReadAll(av::AudioDecoder& decoder) {
  std::vector<int16_t> all, block(4096 * 2);
  for (size_t got; (got = decoder.Read(block.data(), 4096)) > 0;)
    all.insert(all.end(), block.begin(),
               block.begin() + static_cast<long>(got * decoder.outputChannels()));
  return all;
}

// Upward zero crossings of one channel: the tone's frequency times its length.
int Crossings(const std::vector<int16_t>& pcm, int channels, int channel) {
  int count = 0;
  for (size_t i = channels + channel; i < pcm.size(); i += channels)
    if (pcm[i - channels] < 0 && pcm[i] >= 0) ++count;
  return count;
}

int Peak(const std::vector<int16_t>& pcm) {
  int peak = 0;
  for (int16_t s : pcm) peak = std::max(peak, std::abs(int{s}));
  return peak;
}

TEST(AudioDecoderTest, WavOfAnyDepthAndRateBecomesSixteenBitAtTheRateAsked) {
  TempDir dir;
  struct Case {
    int rate, channels, bits;
    bool isFloat;
  };
  for (const Case c :
       {Case{48000, 2, 16, false}, Case{96000, 1, 24, false}, Case{32000, 2, 32, false},
        Case{48000, 2, 32, true}, Case{8000, 1, 8, false}, Case{44100, 6, 16, false}}) {
    SCOPED_TRACE(std::to_string(c.rate) + " Hz " + std::to_string(c.bits) + " bits " +
                 std::to_string(c.channels) + " channels");
    const std::string path = dir.File("tone.wav");
    WriteTone(path, c.rate, c.channels, c.bits, c.isFloat, 441, 2.0);
    std::string error;
    auto decoder = av::AudioDecoder::OpenFile(path, &error);
    ASSERT_TRUE(decoder) << error;
    EXPECT_EQ(decoder->sourceRate(), c.rate);
    EXPECT_EQ(decoder->sourceChannels(), c.channels);
    EXPECT_NEAR(decoder->durationSeconds(), 2.0, 0.01);
    ASSERT_TRUE(decoder->SetOutput(44100, 2));
    const std::vector<int16_t> pcm = ReadAll(*decoder);
    // Two seconds at 44.1 kHz, the resampler's edges aside.
    EXPECT_NEAR(static_cast<double>(pcm.size()) / 2, 88200, 100);
    // The tone is still 441 Hz on both channels, and half of full scale (a mix of
    // six channels into two keeps it within reach).
    EXPECT_NEAR(Crossings(pcm, 2, 0), 882, 3);
    EXPECT_NEAR(Crossings(pcm, 2, 1), 882, 3);
    EXPECT_GT(Peak(pcm), 9000);
    EXPECT_LT(Peak(pcm), 32767);
    EXPECT_FALSE(decoder->SetOutput(22050, 1)) << "the output is fixed once reading began";
  }
}

TEST(AudioDecoderTest, MonoStaysMonoByDefaultAndStereoCanBeMixedDown) {
  TempDir dir;
  const std::string mono = dir.File("mono.wav"), stereo = dir.File("stereo.wav");
  WriteTone(mono, 22050, 1, 16, false, 300, 1.0);
  WriteTone(stereo, 22050, 2, 16, false, 300, 1.0);
  auto a = av::AudioDecoder::OpenFile(mono, nullptr);
  ASSERT_TRUE(a);
  EXPECT_EQ(a->outputChannels(), 1);
  EXPECT_EQ(a->outputRate(), 22050);
  const std::vector<int16_t> same = ReadAll(*a);
  EXPECT_EQ(same.size(), 22050u);
  auto b = av::AudioDecoder::OpenFile(stereo, nullptr);
  ASSERT_TRUE(b);
  EXPECT_EQ(b->outputChannels(), 2);
  ASSERT_TRUE(b->SetOutput(22050, 1));
  const std::vector<int16_t> mixed = ReadAll(*b);
  ASSERT_EQ(mixed.size(), 22050u);
  // Equal channels mixed down keep the tone and stay within range.
  EXPECT_NEAR(Crossings(mixed, 1, 0), 300, 2);
  EXPECT_GT(Peak(mixed), 9000);
}

TEST(AudioDecoderTest, FilesWithoutSoundAndDamagedFilesAreRefusedWithAReason) {
  TempDir dir;
  std::string error;
  EXPECT_FALSE(av::AudioDecoder::OpenFile(dir.File("missing.wav"), &error));
  EXPECT_NE(error.find("missing.wav"), std::string::npos) << error;
  const std::string text = dir.File("notes.txt");
  WriteText(text, "these are not sounds\n");
  error.clear();
  EXPECT_FALSE(av::AudioDecoder::OpenFile(text, &error));
  EXPECT_FALSE(error.empty());
}

// Chunks handed over in pieces of arbitrary sizes, as AVI files interleave them.
class PieceSource : public av::AudioChunkSource {
 public:
  PieceSource(std::vector<uint8_t> bytes, std::vector<size_t> sizes)
      : bytes_(std::move(bytes)), sizes_(std::move(sizes)) {}
  bool Next(std::vector<uint8_t>& out) override {
    if (at_ >= bytes_.size()) return false;
    const size_t n = std::min(sizes_[piece_++ % sizes_.size()], bytes_.size() - at_);
    out.assign(bytes_.begin() + static_cast<long>(at_),
               bytes_.begin() + static_cast<long>(at_ + n));
    at_ += n;
    return true;
  }

 private:
  std::vector<uint8_t> bytes_;
  std::vector<size_t> sizes_;
  size_t at_ = 0, piece_ = 0;
};

std::vector<uint8_t> FormatBytes(const WAVEFORMATEX& f) {
  const auto* p = reinterpret_cast<const uint8_t*>(&f);
  return std::vector<uint8_t>(p, p + sizeof f);
}

TEST(AudioDecoderTest, StreamChunksCutAnywhereDecodeToEverySample) {
  // 24-bit stereo PCM at 48 kHz, cut into pieces that split sample frames.
  const int rate = 48000, frames = 48000;
  std::vector<uint8_t> bytes;
  for (int i = 0; i < frames; ++i) {
    const int32_t v =
        static_cast<int32_t>(std::lround(4000000 * std::sin(2 * kPi * 500 * i / rate)));
    for (int c = 0; c < 2; ++c)
      for (int b = 0; b < 3; ++b) bytes.push_back(static_cast<uint8_t>(v >> (8 * b)));
  }
  const WAVEFORMATEX f = PcmFormat(rate, 2, 24);
  std::string error;
  auto decoder = av::AudioDecoder::OpenStream(
      FormatBytes(f), std::make_unique<PieceSource>(bytes, std::vector<size_t>{1001, 7, 4096}), 1.0,
      &error);
  ASSERT_TRUE(decoder) << error;
  EXPECT_EQ(decoder->sourceRate(), rate);
  EXPECT_DOUBLE_EQ(decoder->durationSeconds(), 1.0);
  const std::vector<int16_t> pcm = ReadAll(*decoder);
  ASSERT_EQ(pcm.size(), size_t{2} * frames) << "same rate: one output frame per input frame";
  // 24-bit samples keep their top 16 bits.
  for (int i : {0, 1, 100, 4799, 47999}) {
    const int32_t v =
        static_cast<int32_t>(std::lround(4000000 * std::sin(2 * kPi * 500 * i / rate)));
    EXPECT_NEAR(pcm[2 * i], v >> 8, 1) << i;
  }
}

TEST(AudioDecoderTest, StreamsOfUnknownOrDamagedFormatsAreRefused) {
  WAVEFORMATEX f = PcmFormat(44100, 2, 16);
  f.wFormatTag = 0x7777;  // no codec has this tag
  std::string error;
  EXPECT_FALSE(av::AudioDecoder::OpenStream(
      FormatBytes(f),
      std::make_unique<PieceSource>(std::vector<uint8_t>{1, 2}, std::vector<size_t>{1}), 0,
      &error));
  EXPECT_FALSE(error.empty());
  f = PcmFormat(44100, 0, 16);  // no channels
  EXPECT_FALSE(av::AudioDecoder::OpenStream(
      FormatBytes(f),
      std::make_unique<PieceSource>(std::vector<uint8_t>{1, 2}, std::vector<size_t>{1}), 0,
      &error));
  EXPECT_FALSE(av::AudioDecoder::OpenStream({1, 0, 2}, nullptr, 0, &error));
}

TEST(PcmConverterTest, RaisesTheRateAndSpreadsMonoOverBothChannels) {
  std::string error;
  auto up = av::PcmConverter::Open(22050, 1, 44100, 2, &error);
  ASSERT_TRUE(up) << error;
  std::vector<int16_t> in(22050);
  for (size_t i = 0; i < in.size(); ++i)
    in[i] = static_cast<int16_t>(std::lround(16000 * std::sin(2 * kPi * 1000 * i / 22050.0)));
  std::vector<int16_t> out;
  ASSERT_TRUE(up->Convert(in.data(), 10000, out));
  ASSERT_TRUE(up->Convert(in.data() + 10000, in.size() - 10000, out));
  ASSERT_TRUE(up->Flush(out));
  ASSERT_EQ(out.size() % 2, 0u);
  EXPECT_NEAR(static_cast<double>(out.size()) / 2, 44100, 64);
  EXPECT_NEAR(Crossings(out, 2, 0), 1000, 2);
  for (size_t i = 0; i + 1 < out.size(); i += 2) ASSERT_EQ(out[i], out[i + 1]) << i;
  EXPECT_NEAR(Peak(out), 16000, 800);
}

TEST(PcmConverterTest, RefusesImpossibleLayouts) {
  EXPECT_FALSE(av::PcmConverter::Open(0, 2, 44100, 2, nullptr));
  EXPECT_FALSE(av::PcmConverter::Open(44100, 9, 44100, 2, nullptr));
  EXPECT_FALSE(av::PcmConverter::Open(44100, 2, 44100, 3, nullptr));
  EXPECT_FALSE(av::PcmConverter::Open(44100, 2, 100, 2, nullptr));
}

}  // namespace
}  // namespace quendrolix
