#include "platform/mp3lib/mp3_library.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <vector>

#include "support/sound_fixtures.h"
#include "support/test_support.h"

namespace quendrolix {
namespace {
namespace fs = std::filesystem;
using testing::ScanMp3;

TEST(Mp3LibraryTest, LoadsOnlyWhenAllFiveEntryPointsArePresent) {
  Mp3Library library;
  EXPECT_EQ(library.Load("/nonexistent/Dll/libbladeenc.so"), Mp3Library::LoadStatus::kNoLibrary);
  EXPECT_FALSE(library.loaded());
  EXPECT_FALSE(library.error().empty());

  EXPECT_EQ(library.Load(testing::FakeEncoderLibraryWithoutDeinitPath()),
            Mp3Library::LoadStatus::kMissingEntryPoint);
  EXPECT_FALSE(library.loaded());
  EXPECT_NE(library.error().find("beDeinitStream"), std::string::npos);
  EXPECT_EQ(library.beInitStream, nullptr);

  ASSERT_EQ(library.Load(testing::FakeEncoderLibraryPath()), Mp3Library::LoadStatus::kLoaded);
  EXPECT_NE(library.beVersion, nullptr);
  EXPECT_NE(library.beCloseStream, nullptr);
}

// The real library, as the program finds it (test programs live beside the CLI).
class EncoderLibraryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(Mp3Library::DefaultPath(), testing::BinaryDir() / "bin/Dll/libbladeenc.so");
    ASSERT_EQ(library_.Load(Mp3Library::DefaultPath()), Mp3Library::LoadStatus::kLoaded)
        << library_.error();
  }

  // Encodes `frames` frames of a tone through the five entry points, in chunks of at most
  // `chunk` samples (0: the library's own size).
  std::vector<uint8_t> Encode(const BeConfig& config, size_t frames, uint32_t chunk = 0) {
    uint32_t spc = 0, outBytes = 0;
    BeStreamHandle stream = 0;
    EXPECT_EQ(library_.beInitStream(&config, &spc, &outBytes, &stream), kBeOk);
    const int channels = config.mode == kBeModeMono ? 1 : 2;
    EXPECT_EQ(spc, 1152u * channels);
    if (chunk == 0) chunk = spc;
    std::vector<int16_t> pcm(frames * channels);
    for (size_t i = 0; i < pcm.size(); ++i)
      pcm[i] = static_cast<int16_t>(9000 * std::sin(double(i / channels) * 0.05));
    std::vector<uint8_t> out(outBytes), mp3;
    for (size_t at = 0; at < pcm.size(); at += chunk) {
      uint32_t n = static_cast<uint32_t>(std::min<size_t>(chunk, pcm.size() - at)), made = 0;
      EXPECT_EQ(library_.beEncodeChunk(stream, n, pcm.data() + at, out.data(), &made), kBeOk);
      mp3.insert(mp3.end(), out.begin(), out.begin() + made);
    }
    uint32_t made = 0;
    EXPECT_EQ(library_.beDeinitStream(stream, out.data(), &made), kBeOk);
    mp3.insert(mp3.end(), out.begin(), out.begin() + made);
    EXPECT_EQ(library_.beCloseStream(stream), kBeOk);
    return mp3;
  }

  static BeConfig Config(uint32_t rate, uint8_t mode) {
    BeConfig c{};
    c.configKind = kBeConfigMp3;
    c.sampleRate = rate;
    c.mode = mode;
    c.bitRate = 128;
    return c;
  }

  Mp3Library library_;
};

TEST_F(EncoderLibraryTest, KeepsTheRateAndChannelsItIsGiven) {
  struct Case {
    uint32_t rate;
    uint8_t mode;
    int version;
    int channels;
  };
  for (Case c : {Case{44100, kBeModeStereo, 1, 2}, Case{22050, kBeModeMono, 2, 1},
                 Case{48000, kBeModeMono, 1, 1}, Case{8000, kBeModeMono, 25, 1},
                 Case{11025, kBeModeStereo, 25, 2}}) {
    SCOPED_TRACE(c.rate);
    const size_t frames = c.rate * 3 / 2;
    auto summary = ScanMp3(Encode(Config(c.rate, c.mode), frames));
    ASSERT_TRUE(summary.valid);
    EXPECT_EQ(summary.sampleRate, c.rate);
    EXPECT_EQ(summary.version, c.version);
    EXPECT_EQ(summary.channels, c.channels);
    // The whole sound is there, plus no more than the encoder's delay and last-frame padding.
    EXPECT_GE(summary.samplesPerChannel, frames);
    EXPECT_LE(summary.samplesPerChannel, frames + 576 + 2 * 1152);
  }
}

TEST_F(EncoderLibraryTest, HeaderFlagsFollowTheRecord) {
  BeConfig c = Config(44100, kBeModeStereo);
  auto plain = Encode(c, 4000);
  ASSERT_GE(plain.size(), 4u);
  EXPECT_EQ(plain[1] & 1, 1);     // no CRC
  EXPECT_EQ(plain[2] & 1, 0);     // private bit
  EXPECT_EQ(plain[3] & 0x0C, 0);  // copyright, original
  EXPECT_EQ(plain[3] >> 6, 0);    // stereo, not joint
  c.crcFlag = c.privateFlag = c.copyrightFlag = c.originalFlag = 1;
  auto flagged = Encode(c, 4000);
  ASSERT_GE(flagged.size(), 4u);
  EXPECT_EQ(flagged[1] & 1, 0);
  EXPECT_EQ(flagged[2] & 1, 1);
  EXPECT_EQ(flagged[3] & 0x0C, 0x0C);
}

TEST_F(EncoderLibraryTest, OddStereoChunksLoseNoSample) {
  // 1151 samples a call: every chunk splits a left/right pair.
  auto odd = Encode(Config(44100, kBeModeStereo), 44100, 1151);
  auto even = Encode(Config(44100, kBeModeStereo), 44100);
  EXPECT_EQ(odd, even);
}

TEST_F(EncoderLibraryTest, RefusesWhatItCannotDo) {
  uint32_t spc = 0, outBytes = 0;
  BeStreamHandle stream = 0;
  BeConfig c = Config(44100, kBeModeStereo);
  c.configKind = 1;
  EXPECT_EQ(library_.beInitStream(&c, &spc, &outBytes, &stream), kBeErrInvalidFormat);
  c = Config(44100, 4);
  EXPECT_EQ(library_.beInitStream(&c, &spc, &outBytes, &stream), kBeErrInvalidParameters);
  c = Config(44100, kBeModeStereo);
  c.bitRate = 0;
  EXPECT_EQ(library_.beInitStream(&c, &spc, &outBytes, &stream), kBeErrInvalidParameters);

  c = Config(44100, kBeModeStereo);
  ASSERT_EQ(library_.beInitStream(&c, &spc, &outBytes, &stream), kBeOk);
  std::vector<int16_t> pcm(spc + 2);
  std::vector<uint8_t> out(outBytes);
  uint32_t made = 0;
  EXPECT_EQ(library_.beEncodeChunk(stream, spc + 2, pcm.data(), out.data(), &made),
            kBeErrInvalidParameters);
  EXPECT_EQ(library_.beEncodeChunk(stream + 1, 2, pcm.data(), out.data(), &made),
            kBeErrInvalidHandle);
  EXPECT_EQ(library_.beCloseStream(stream), kBeOk);
  EXPECT_EQ(library_.beCloseStream(stream), kBeErrInvalidHandle);  // already gone
  EXPECT_EQ(library_.beDeinitStream(stream, out.data(), &made), kBeErrInvalidHandle);
}

}  // namespace
}  // namespace quendrolix
