#include <gtest/gtest.h>

#include <cmath>

#include "mpeg/video/encoding_parameters.h"
#include "mpeg/video/engine_memory.h"
#include "platform/host/conversion_log.h"

namespace quendrolix {
namespace {

SourceDescription Source(uint32_t w, uint32_t h, uint32_t rate, uint32_t scale,
                         uint32_t length = 100) {
  return SourceDescription{w, h, rate, scale, length};
}

TEST(FrameRateTest, SourceRatesMapToCodesAndReplication) {
  struct Case {
    uint32_t rate, scale;
    bool ok;
    int code, replication;
  } cases[] = {
      {10, 1, true, 5, 3},      {1000000, 100000, true, 5, 3}, {12, 1, true, 2, 2},
      {15, 1, true, 5, 2},      {24000, 1001, true, 1, 1},     {24, 1, true, 2, 1},
      {25, 1, true, 3, 1},      {30000, 1001, true, 4, 1},     {30, 1, true, 5, 1},
      {2450, 100, false, 0, 0},  // 24.50: between the 24 and 25 ranges
      {1150, 100, false, 0, 0}, {2550, 100, false, 0, 0},      {50, 1, false, 0, 0},
      {951, 100, true, 5, 3},   {1009, 100, true, 5, 3},       {950, 100, false, 0, 0},
      {30, 0, false, 0, 0},  // a zero scale is no rate at all
  };
  for (const Case& c : cases) {
    int code = 0, replication = 0;
    EXPECT_EQ(FrameRateFromSource(c.rate, c.scale, code, replication), c.ok)
        << c.rate << "/" << c.scale;
    if (c.ok) {
      EXPECT_EQ(code, c.code) << c.rate << "/" << c.scale;
      EXPECT_EQ(replication, c.replication) << c.rate << "/" << c.scale;
    }
  }
}

TEST(EncodingParametersTest, TenFramesPerSecondIsTripledAndReported) {
  RecordingConversionLog log;
  ScopedConversionLog scope(log);
  EngineSettings settings;
  settings.noAudio = true;
  EncodingParameters p;
  ASSERT_TRUE(DeriveEncodingParameters(Source(320, 240, 10, 1, 40), settings, p));
  EXPECT_EQ(p.frameRateCode, 5);
  EXPECT_EQ(p.replication, 3);
  EXPECT_EQ(settings.replicationFactor, 3);
  EXPECT_EQ(p.frames, 120);
  EXPECT_EQ(p.N, 15);
  EXPECT_EQ(log.lines, (std::vector<std::string>{"Bit-rate: 1228800", "Frame rate: 10 FPS",
                                                 "Frame rate with replication: 30 FPS",
                                                 "Total number of frames: 120"}));
}

TEST(EncodingParametersTest, RateBetweenRangesFallsBackTo23976) {
  RecordingConversionLog log;
  ScopedConversionLog scope(log);
  EngineSettings settings;
  settings.noAudio = true;
  EncodingParameters p;
  ASSERT_TRUE(DeriveEncodingParameters(Source(352, 240, 2450, 100), settings, p));
  EXPECT_EQ(p.frameRateCode, 1);
  EXPECT_EQ(p.replication, 1);
  EXPECT_EQ(settings.frameRateSelection, 1u);
  EXPECT_DOUBLE_EQ(p.frameRate, 24000.0 / 1001.0);
  EXPECT_EQ(p.N, 12);
  EXPECT_EQ(log.lines, (std::vector<std::string>{
                           "Error: frame rate must be 10, 12, 15, 23.976, 24, 25, 29.97, or 30 FPS",
                           "Using 23.976 FPS", "Bit-rate: 1228800", "Frame rate: 23.976 FPS"}));
}

TEST(EncodingParametersTest, SizeIsRoundedNeverScaled) {
  RecordingConversionLog log;
  ScopedConversionLog scope(log);
  EngineSettings settings;
  settings.noAudio = true;
  EncodingParameters p;
  ASSERT_TRUE(DeriveEncodingParameters(Source(321, 241, 25, 1), settings, p));
  EXPECT_EQ(p.horizontalSize, 336);
  EXPECT_EQ(p.verticalSize, 242);
  EXPECT_EQ(p.codedWidth, 336);
  EXPECT_EQ(p.codedHeight, 256);
  EXPECT_EQ(p.chromaWidth, 168);
  EXPECT_TRUE(log.HasLine("Output frame size: 336x242"));

  settings = EngineSettings{};
  settings.noAudio = true;
  settings.resizeRequested = true;
  settings.requestedWidth = 351;
  settings.requestedHeight = 239;
  ASSERT_TRUE(DeriveEncodingParameters(Source(640, 480, 25, 1), settings, p));
  EXPECT_EQ(p.horizontalSize, 352);
  EXPECT_EQ(p.verticalSize, 240);
}

TEST(EncodingParametersTest, BitRateLeavesRoomForAudioAndHasAFloor) {
  RecordingConversionLog log;
  ScopedConversionLog scope(log);
  EngineSettings settings;  // defaults: 150 units, 128 kbit/s audio
  EncodingParameters p;
  ASSERT_TRUE(DeriveEncodingParameters(Source(352, 288, 25, 1), settings, p));
  EXPECT_EQ(p.bitRate, 1064960.0);
  EXPECT_EQ(p.BitRateField(), 2663);

  settings.totalRateUnits = 160 >> 3;
  settings.noAudio = true;
  ASSERT_TRUE(DeriveEncodingParameters(Source(352, 288, 25, 1), settings, p));
  EXPECT_EQ(p.bitRate, 163840.0);

  log.lines.clear();
  settings.noAudio = false;
  settings.totalRateUnits = 200 >> 3;  // 204800 - 131072 - 32768 = 40960
  EXPECT_FALSE(DeriveEncodingParameters(Source(352, 288, 25, 1), settings, p));
  EXPECT_EQ(log.lines, std::vector<std::string>{"Error: bit-rate too low (minimum:  81920)"});
}

TEST(EncodingParametersTest, ConstrainedParametersFlag) {
  RecordingConversionLog log;
  ScopedConversionLog scope(log);
  auto constrained = [](uint32_t w, uint32_t h, uint32_t rate) {
    EngineSettings settings;
    settings.noAudio = true;
    EncodingParameters p;
    EXPECT_TRUE(DeriveEncodingParameters(Source(w, h, rate, 1), settings, p));
    return p.constrainedParameters;
  };
  EXPECT_TRUE(constrained(352, 240, 30));   // 330 macroblocks x 30 = 9900
  EXPECT_FALSE(constrained(352, 288, 30));  // 396 x 30 > 9900
  EXPECT_TRUE(constrained(352, 288, 25));
  EXPECT_FALSE(constrained(784, 240, 25));  // wider than 768
  EXPECT_FALSE(constrained(640, 480, 25));  // 1200 macroblocks
}

TEST(EncodingParametersTest, AutomaticVideoRateFollowsThePixelsPerSecond) {
  EXPECT_DOUBLE_EQ(AutomaticVideoBitRate(352, 288, 25), 1150000);
  EXPECT_DOUBLE_EQ(AutomaticVideoBitRate(704, 576, 25), 4600000);
  EXPECT_DOUBLE_EQ(AutomaticVideoBitRate(352, 288, 50), 2300000);
  EXPECT_DOUBLE_EQ(AutomaticVideoBitRate(32, 32, 24), 150000);  // the floor
  EXPECT_DOUBLE_EQ(AutomaticVideoBitRate(4080, 2800, 60), kMaxBitRate);
  EXPECT_EQ(std::fmod(AutomaticVideoBitRate(720, 576, 30000.0 / 1001), 400.0), 0.0);

  RecordingConversionLog log;
  ScopedConversionLog scope(log);
  EngineSettings settings;
  settings.automaticVideoRate = true;  // whatever the total and the sound
  EncodingParameters p;
  ASSERT_TRUE(DeriveEncodingParameters(Source(704, 576, 25, 1), settings, p));
  EXPECT_DOUBLE_EQ(p.bitRate, 4600000);
  settings = EngineSettings{};
  settings.videoRate = 2000000;
  ASSERT_TRUE(DeriveEncodingParameters(Source(352, 288, 25, 1), settings, p));
  EXPECT_DOUBLE_EQ(p.bitRate, 2000000);
  EXPECT_EQ(p.BitRateField(), 5000);
}

TEST(EncodingParametersTest, RangeErrorsAreFatal) {
  RecordingConversionLog log;
  ScopedConversionLog scope(log);
  EngineSettings settings;
  settings.noAudio = true;
  settings.resizeRequested = true;
  settings.requestedWidth = 4096;
  settings.requestedHeight = 240;
  EncodingParameters p;
  // Sizes the bitstream cannot hold are refused with a message, not a fatal error.
  EXPECT_FALSE(DeriveEncodingParameters(Source(320, 240, 25, 1), settings, p));
  EXPECT_EQ(log.fatals, std::vector<std::string>{});
  EXPECT_EQ(log.lines, (std::vector<std::string>{
                           "Error: frame is too big (4096x240 pixels)",
                           "MPEG-1 pictures are at most 4095 pixels wide and 2800 lines high"}));
  log.lines.clear();
  settings.requestedWidth = 4094;   // the widest requested size: 256 macroblocks
  settings.requestedHeight = 2800;  // 175 slices, the last start code 0xAF
  EXPECT_TRUE(DeriveEncodingParameters(Source(320, 240, 25, 1), settings, p));
  EXPECT_EQ(p.mbWidth, 256);
  EXPECT_EQ(p.mbHeight, 175);
  settings.requestedHeight = 2802;
  EXPECT_FALSE(DeriveEncodingParameters(Source(320, 240, 25, 1), settings, p));
  EXPECT_EQ(log.fatals, std::vector<std::string>{});

  log.fatals.clear();
  settings = EngineSettings{};
  settings.noAudio = true;
  settings.frameRateSelection = 9;
  EXPECT_THROW(DeriveEncodingParameters(Source(320, 240, 25, 1), settings, p), EngineAbort);
  EXPECT_EQ(log.fatals, std::vector<std::string>{"frame_rate code must be between 1 and 8"});

  log.fatals.clear();
  settings = EngineSettings{};
  settings.noAudio = true;
  settings.totalRateUnits = 13000;  // 106.5 Mbit/s
  EXPECT_THROW(DeriveEncodingParameters(Source(320, 240, 25, 1), settings, p), EngineAbort);
  EXPECT_EQ(log.fatals, std::vector<std::string>{"bit_rate must be less than 104 Mbit/s (MPEG-1)"});
}

}  // namespace
}  // namespace quendrolix
