#include "mpeg/audio/layer2_encoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "mpeg/audio/audio_tables.h"
#include "mpeg/audio/mp2_engine.h"
#include "platform/host/conversion_log.h"
#include "platform/host/file_exception.h"
#include "support/mpeg_audio_fixtures.h"
#include "support/test_support.h"

namespace quendrolix {
namespace {
using namespace testing;

// Encodes interleaved 16-bit samples at `bitRate` from a freshly started engine.
std::vector<uint8_t> Encode(uint32_t rate, uint16_t channels, const std::vector<int16_t>& samples,
                            int bitRate, bool freshEngine = true) {
  if (freshEngine) Mp2Engine().ResetAsAtProgramStart();
  Mp2Engine().ResetParameters();
  Mp2Engine().parameters.bitRate = bitRate;
  MemorySoundStream stream = Pcm16Stream(rate, channels, samples);
  PcmSource source(stream);
  TempDir dir;
  EncodeMp2File(dir.File("out.mp2"), source);
  return ReadBytes(dir.File("out.mp2"));
}

std::vector<Mp2Frame> Parse(const std::vector<uint8_t>& bytes) {
  std::vector<Mp2Frame> frames;
  std::string error;
  EXPECT_TRUE(ParseMp2(bytes, frames, &error)) << error;
  return frames;
}

TEST(SlotCounterTest, PaddingFollowsTheFractionalSlots) {
  mp2::SlotCounter slots(128);
  EXPECT_EQ(slots.whole(), 417);
  EXPECT_NEAR(slots.frac(), 0.959184, 1e-6);
  EXPECT_TRUE(slots.NextFramePadded());  // lag -0.959 is not above -0.041
  int padded = 1;
  const int frames = 100000;
  for (int i = 1; i < frames; ++i) padded += slots.NextFramePadded();
  // Padded frames are the fractional slots owed so far, give or take one.
  EXPECT_NEAR(padded, frames * slots.frac(), 1.0);

  // Every layer II rate at 44.1 kHz has a fractional part; the mean frame length is exact.
  for (int rate : {32, 48, 56, 64, 80, 96, 112, 160, 192, 224, 256, 320, 384}) {
    mp2::SlotCounter s(rate);
    EXPECT_GT(s.frac(), 0.0) << rate;
    long long total = 0;
    for (int i = 0; i < 4410; ++i) total += s.whole() + s.NextFramePadded();
    EXPECT_NEAR(total, 4410 * 1152.0 / 44.1 * rate / 8.0, 1.0) << rate;
  }
}

TEST(Layer2EncoderTest, StereoAt128HasTheExpectedFrames) {
  const size_t framesOfSound = 1152 * 200 - 100;  // not a whole number of frames
  const std::vector<uint8_t> bytes =
      Encode(44100, 2, MakeSignal(Signal::kChord, 44100, 2, framesOfSound), 128);
  const std::vector<Mp2Frame> frames = Parse(bytes);
  ASSERT_EQ(frames.size(), 200u);  // the short last block is padded to a frame
  int padded = 0;
  for (const Mp2Frame& f : frames) {
    EXPECT_TRUE(f.bytes == 417 || f.bytes == 418);
    EXPECT_EQ(f.bytes, 417u + f.padding);
    EXPECT_EQ(f.bitrateIndex, 8);
    EXPECT_EQ(f.mode, 0);
    EXPECT_EQ(f.modeExtension + f.copyright + f.original + f.emphasis + f.privateBit, 0);
    EXPECT_EQ(f.tableNumber, mp2::kTableB2a);
    EXPECT_TRUE(f.ancillaryZero);
    EXPECT_GE(f.ancillaryBits, 0);
    padded += f.padding;
  }
  EXPECT_EQ(frames[0].padding, 1);
  EXPECT_NEAR(padded / 200.0, 0.959, 0.01);
  // Music at 128 kbit/s uses nearly every bit of the frame.
  for (const Mp2Frame& f : frames) EXPECT_LT(f.ancillaryBits, 100);
}

TEST(Layer2EncoderTest, ModeAndTableFollowChannelsAndRate) {
  const auto mono = MakeSignal(Signal::kChord, 44100, 1, 1152 * 20);
  const auto stereo = MakeSignal(Signal::kChord, 44100, 2, 1152 * 20);
  struct Case {
    int channels, rate, mode;
    mp2::AllocTableNumber table;
  };
  for (const Case& c : {Case{1, 128, 3, mp2::kTableB2b}, Case{1, 48, 3, mp2::kTableB2c},
                        Case{2, 96, 0, mp2::kTableB2c}, Case{2, 192, 0, mp2::kTableB2b},
                        Case{2, 384, 0, mp2::kTableB2b}, Case{2, 160, 0, mp2::kTableB2a}}) {
    SCOPED_TRACE(::testing::Message() << c.channels << " channels at " << c.rate);
    const auto frames = Parse(
        Encode(44100, static_cast<uint16_t>(c.channels), c.channels == 1 ? mono : stereo, c.rate));
    ASSERT_EQ(frames.size(), 20u);
    for (const Mp2Frame& f : frames) {
      EXPECT_EQ(f.mode, c.mode);
      EXPECT_EQ(f.tableNumber, c.table);
      EXPECT_EQ(f.bytes, static_cast<size_t>(144 * c.rate * 1000 / 44100 + f.padding));
      EXPECT_TRUE(f.ancillaryZero);
    }
  }
  EXPECT_EQ(mp2::ChooseAllocTable(64, 44), mp2::kTableB2a);
  EXPECT_EQ(mp2::ChooseAllocTable(48, 32), -1);
  EXPECT_EQ(mp2::ChooseAllocTable(48, 48), mp2::kTableB2c);
  EXPECT_EQ(mp2::ChooseAllocTable(52, 48), -1);
  EXPECT_EQ(mp2::ChooseAllocTable(88, 44), -1);
}

TEST(Layer2EncoderTest, SilenceUsesTheSmallestScaleFactorAndStillFillsTheFrame) {
  const auto frames = Parse(Encode(44100, 2, std::vector<int16_t>(1152 * 2 * 10, 0), 128));
  ASSERT_EQ(frames.size(), 10u);
  for (const Mp2Frame& f : frames) {
    ASSERT_FALSE(f.scaleFactors.empty());
    for (int sf : f.scaleFactors) EXPECT_EQ(sf, 62);
  }
}

TEST(Layer2EncoderTest, ScfsiNeverLowersAScaleFactorsValue) {
  // Indexes count down in value: a pattern may only move an index down (a larger scale
  // factor), or samples would overflow. And what is sent must describe the three.
  for (int a = 0; a < 12; ++a)
    for (int b = 0; b < 12; ++b)
      for (int c = 0; c < 12; ++c) {
        int sf[3] = {a + 20, b + 20, c + 20};
        const int orig[3] = {sf[0], sf[1], sf[2]};
        const int scfsi = mp2::SelectScfsi(sf);
        for (int i = 0; i < 3; ++i) ASSERT_LE(sf[i], orig[i]) << a << b << c;
        if (scfsi == 1) {
          EXPECT_EQ(sf[0], sf[1]);
        } else if (scfsi == 2) {
          EXPECT_TRUE(sf[0] == sf[1] && sf[1] == sf[2]);
        } else if (scfsi == 3) {
          EXPECT_EQ(sf[1], sf[2]);
        }
      }
  int sf[3] = {10, 11, 9};  // classes 1 and 3: the smaller of the outer two for all
  EXPECT_EQ(mp2::SelectScfsi(sf), 2);
  EXPECT_EQ(sf[0], 9);
  EXPECT_EQ(sf[2], 9);
  int same[3] = {30, 30, 30};
  EXPECT_EQ(mp2::SelectScfsi(same), 2);
  int apart[3] = {10, 20, 30};
  EXPECT_EQ(mp2::SelectScfsi(apart), 0);
}

TEST(Layer2EncoderTest, RefusedSettingsStopBeforeTheOutputExists) {
  TempDir dir;
  const std::string path = dir.File("out.mp2");
  const auto samples = MakeSignal(Signal::kChord, 44100, 2, 1152 * 4);
  struct Case {
    int layer, bitRate;
    std::vector<std::string> lines;
  };
  for (const Case& c : {Case{2,
                             100,
                             {"Error: 100 bit-rate is unsupported (must be between 32 and 448)",
                              "Error: 100 bit-rate is unsupported"}},
                        Case{2,
                             448,
                             {"Error: 448 bit-rate is unsupported (must be between 32 and 448)",
                              "Error: 448 bit-rate is unsupported"}},
                        Case{1, 448, {"Error: layer 1 is unsupported"}}}) {
    RecordingConversionLog log;
    ScopedConversionLog scope(log);
    Mp2Engine().ResetParameters();
    Mp2Engine().parameters.layer = c.layer;
    Mp2Engine().parameters.bitRate = c.bitRate;
    MemorySoundStream stream = Pcm16Stream(44100, 2, samples);
    PcmSource source(stream);
    EXPECT_THROW(EncodeMp2File(path, source), CFileException);
    EXPECT_EQ(log.lines, c.lines);
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
  }
  // An output folder that does not exist.
  RecordingConversionLog log;
  ScopedConversionLog scope(log);
  Mp2Engine().ResetParameters();
  MemorySoundStream stream = Pcm16Stream(44100, 2, samples);
  PcmSource source(stream);
  const std::string nowhere = dir.File("no/such/out.mp2");
  EXPECT_THROW(EncodeMp2File(nowhere, source), CFileException);
  EXPECT_TRUE(log.HasLine("Error: \"" + nowhere + "\" save failed"));
}

TEST(Layer2EncoderTest, ASecondConversionStartsFromTheFirstOnesState) {
  const auto first = MakeSignal(Signal::kNoise, 44100, 2, 1152 * 8, 3);
  const auto second = MakeSignal(Signal::kChord, 44100, 2, 1152 * 8);
  const std::vector<uint8_t> fresh = Encode(44100, 2, second, 128);
  Encode(44100, 2, first, 128);
  const std::vector<uint8_t> after = Encode(44100, 2, second, 128, /*freshEngine=*/false);
  ASSERT_EQ(fresh.size(), after.size());
  // The window stores still hold the noise, so the first frame differs; within a few
  // frames the filter bank has forgotten it, though the model's history may still steer
  // the allocation a little.
  EXPECT_NE(std::vector<uint8_t>(fresh.begin(), fresh.begin() + 418),
            std::vector<uint8_t>(after.begin(), after.begin() + 418));
  // From the start of the run again, the same sound gives the same bytes.
  EXPECT_EQ(Encode(44100, 2, second, 128), fresh);
}

}  // namespace
}  // namespace quendrolix
