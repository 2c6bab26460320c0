#include "mpeg/system/multiplexer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>

#include "mpeg/system/access_unit_list.h"
#include "mpeg/system/mpg_merge.h"
#include "platform/host/conversion_log.h"
#include "support/mpeg_system_fixtures.h"
#include "support/test_support.h"

namespace quendrolix {
namespace {
using testing::MakeAudioStream;
using testing::MakeVideoStream;
using testing::ParsedPack;
using testing::ParsedSystemStream;
using testing::TempDir;
using testing::TestAudioOptions;
using testing::TestPicture;
using testing::TestVideoOptions;

constexpr unsigned kP = 1997;

// An access unit as the test sees it: its byte range in its elementary stream and times.
struct Unit {
  uint64_t start, end;
  uint32_t type;
  uint64_t dts, pts;
};

struct MuxResult {
  std::vector<uint8_t> bytes;
  ParsedSystemStream parsed;
  std::vector<Unit> video, audio;
  MultiplexRates rates;
  MultiplexCounters counters;
  RecordingConversionLog log;
};

// Multiplexes the two streams through the whole run and reads everything back, with the
// access units and the delay the run used.
std::unique_ptr<MuxResult> Mux(const std::vector<uint8_t>& video,
                               const std::vector<uint8_t>& audio) {
  auto result = std::make_unique<MuxResult>();
  TempDir dir;
  testing::WriteBytes(dir.File("v.m1v"), video);
  testing::WriteBytes(dir.File("a.mp2"), audio);
  {
    ScopedConversionLog scope(result->log);
    MultiplexFiles(dir.File("v.m1v"), dir.File("a.mp2"), dir.File("out.mpg"));
  }
  result->counters = TheSystemStreamEngine().counters;
  result->bytes = testing::ReadBytes(dir.File("out.mpg"));
  result->parsed = testing::ParseSystemStream(result->bytes);

  VideoStreamInfo videoInfo;
  AudioStreamInfo audioInfo;
  double startup = kNoStartupTime;
  AnalyseVideoStream(dir.File("v.m1v"), dir.File("vl"), videoInfo, startup);
  AnalyseAudioStream(dir.File("a.mp2"), dir.File("al"), startup, audioInfo);
  std::FILE* vl = std::fopen(dir.File("vl").c_str(), "rb");
  VideoAccessUnit v;
  uint64_t at = 0;
  while (ReadVideoAccessUnit(vl, v)) {
    result->video.push_back({at, at + v.length, v.type, v.dts, v.pts});
    at += v.length;
  }
  std::fclose(vl);
  std::FILE* al = std::fopen(dir.File("al").c_str(), "rb");
  AudioAccessUnit a;
  at = 0;
  while (ReadAudioAccessUnit(al, a)) {
    result->audio.push_back({at, at + a.length, 0, a.pts, a.pts});
    at += a.length;
  }
  std::fclose(al);
  result->rates = ComputeMultiplexRates(videoInfo, audioInfo, kVideoAndAudio,
                                        result->video.empty() ? 0 : result->video[0].end,
                                        result->audio.empty() ? 0 : result->audio[0].end);
  for (auto* units : {&result->video, &result->audio})
    for (auto& u : *units) {
      u.dts += result->rates.startupDelay;
      u.pts += result->rates.startupDelay;
    }
  return result;
}

// Pictures of a GOP of 12 (I B B P ...) at 25/s with the given sizes.
std::vector<uint8_t> GopVideo(unsigned pictures, size_t iSize, size_t pSize, size_t bSize,
                              const TestVideoOptions& options = {}) {
  return MakeVideoStream(
      testing::IbbpPictures(pictures, 12,
                            [&](unsigned, unsigned type) {
                              return type == 1 ? iSize : type == 2 ? pSize : bSize;
                            }),
      options);
}

// 224 kbit/s layer II frames lasting about `seconds`.
std::vector<uint8_t> AudioOf(double seconds) {
  return MakeAudioStream(static_cast<unsigned>(seconds * 44100 / 1152));
}

TEST(MultiplexRatesTest, VideoAt2875AndAudioAt224GiveMuxRate3537) {
  VideoStreamInfo video;
  video.bitRate = 2875;
  video.computedBitRate = 2000;
  AudioStreamInfo audio;
  audio.layerCode = 2;
  audio.bitrateIndex = 11;
  MultiplexRates rates = ComputeMultiplexRates(video, audio, kVideoAndAudio, 10000, 732);
  EXPECT_EQ(rates.videoRate, 143750u);
  EXPECT_EQ(rates.audioRate, 28672u);
  EXPECT_EQ(rates.pseudoMuxRate, 176826u);
  EXPECT_EQ(rates.muxRate, 3537u);
  EXPECT_EQ(rates.timingRate, 176850.0);
  EXPECT_EQ(rates.packetDataSize, 1997u);
  // (1 + 6 + 8) sectors at 176850 bytes/s.
  EXPECT_EQ(rates.startupDelay, uint64_t(15 * 2048 / 176850.0 * 90000));

  // The larger of the header's rate and the computed one; 0x3FFFF (variable) is no rate.
  video.computedBitRate = 3000;
  EXPECT_EQ(ComputeMultiplexRates(video, audio, kVideoAndAudio, 1, 1).videoRate, 150000u);
  video.bitRate = 0x3FFFF;
  EXPECT_EQ(ComputeMultiplexRates(video, audio, kVideoAndAudio, 1, 1).videoRate, 150000u);
  // One stream alone packs 2000 bytes behind a 15-byte system header.
  MultiplexRates alone = ComputeMultiplexRates(video, audio, kVideoStream, 1, 1);
  EXPECT_EQ(alone.packetDataSize, 2000u);
  EXPECT_EQ(alone.systemHeaderSize, 15u);
  EXPECT_EQ(alone.audioRate, 0u);
}

// The units of `units` that start inside [from, to) of their stream.
std::vector<const Unit*> StartingIn(const std::vector<Unit>& units, uint64_t from, uint64_t to) {
  std::vector<const Unit*> found;
  for (const auto& u : units)
    if (u.start >= from && u.start < to) found.push_back(&u);
  return found;
}

TEST(MultiplexerTest, PacksAreWholeSectorsCarryingBothStreamsWithTheirTimeStamps) {
  std::vector<uint8_t> video = GopVideo(100, 15000, 6000, 3000);
  std::vector<uint8_t> audio = AudioOf(4.0);
  auto mux = Mux(video, audio);
  const ParsedSystemStream& out = mux->parsed;
  ASSERT_TRUE(out.error.empty()) << out.error;
  ASSERT_TRUE(out.endCode);
  EXPECT_EQ(std::vector<uint8_t>(mux->bytes.end() - 4, mux->bytes.end()),
            (std::vector<uint8_t>{0, 0, 1, 0xB9}));
  // Nothing lost, nothing added, nothing reordered.
  EXPECT_EQ(out.Payload(0xE0), video);
  EXPECT_EQ(out.Payload(0xC0), audio);

  const std::vector<uint8_t> systemHeader = {0x00, 0x00, 0x01, 0xBB, 0x00, 0x0C, 0x80, 0x1B, 0xA3,
                                             0x07, 0xE1, 0xFF, 0xC0, 0xC0, 0x20, 0xE0, 0xE0, 0x2E};
  std::map<uint8_t, size_t> lastPack;
  for (size_t i = 0; i < out.packs.size(); ++i) lastPack[out.packs[i].streamId] = i;
  std::map<uint8_t, uint64_t> sent;
  uint64_t previousScr = 0;
  for (size_t i = 0; i < out.packs.size(); ++i) {
    const ParsedPack& pack = out.packs[i];
    SCOPED_TRACE("pack " + std::to_string(i));
    EXPECT_EQ(pack.muxRate, 3537u);
    EXPECT_EQ(pack.systemHeader, systemHeader);
    // The clock runs with the bytes while both streams go on; once one has ended, the
    // other waits for its decoder by a later clock, never by padding packs.
    const uint64_t byBytes = uint64_t((pack.offset + 9) * 90000 / 176850.0);
    const bool bothGoOn = i <= lastPack[0xE0] && i <= lastPack[0xC0];
    if (bothGoOn) {
      EXPECT_EQ(pack.scr, byBytes);
    } else {
      EXPECT_GE(pack.scr, byBytes);
      EXPECT_NE(pack.streamId, 0xBE);
    }
    EXPECT_GE(pack.scr, previousScr);
    previousScr = pack.scr;
    EXPECT_EQ(pack.packetLength, 15 + pack.data.size());
    if (i != lastPack[pack.streamId]) {
      EXPECT_EQ(pack.size, 2048u);
    }
    if (pack.streamId == 0xBE) {
      EXPECT_EQ(pack.data, std::vector<uint8_t>(kP, 0xFF));
      EXPECT_FALSE(pack.bufferFields);
      EXPECT_EQ(pack.stamps, 0);
      EXPECT_EQ(pack.stuffing, 14u);
      continue;
    }
    ASSERT_TRUE(pack.streamId == 0xE0 || pack.streamId == 0xC0);
    const bool isVideo = pack.streamId == 0xE0;
    ASSERT_TRUE(pack.bufferFields);
    EXPECT_EQ(pack.bufferScale, isVideo ? 1u : 0u);
    EXPECT_EQ(pack.bufferSize, isVideo ? 46u : 32u);
    // The stamps are those of the first unit that starts in the packet.
    uint64_t from = sent[pack.streamId];
    sent[pack.streamId] += pack.data.size();
    auto starting = StartingIn(isVideo ? mux->video : mux->audio, from, sent[pack.streamId]);
    if (starting.empty()) {
      EXPECT_EQ(pack.stamps, 0);
      EXPECT_EQ(pack.stuffing, 12u);
      continue;
    }
    const Unit& unit = *starting.front();
    EXPECT_EQ(pack.pts, unit.pts);
    if (!isVideo || unit.type == kPictureB) {
      EXPECT_EQ(pack.stamps, 1);
      EXPECT_EQ(pack.stuffing, 8u);
    } else {
      EXPECT_EQ(pack.stamps, 2);
      EXPECT_EQ(pack.dts, unit.dts);
      EXPECT_EQ(pack.stuffing, 3u);
    }
  }
  // Both kinds of picture stamps and plain packets did occur.
  int kinds[3] = {};
  for (const auto& pack : out.packs)
    if (pack.streamId == 0xE0) ++kinds[pack.stamps];
  EXPECT_GT(kinds[0], 0);
  EXPECT_GT(kinds[1], 0);
  EXPECT_GT(kinds[2], 0);
  EXPECT_EQ(mux->counters.videoTimedOut, 0u);
  EXPECT_EQ(mux->counters.audioTimedOut, 0u);
}

// Decoder buffer occupancy at each pack's SCR, worked out from the output alone: bytes
// arrive with their pack and leave when their unit is decoded.
struct Occupancy {
  uint64_t video, audio;
};
std::vector<Occupancy> OccupancyBeforeEachPack(const MuxResult& mux) {
  std::vector<Occupancy> result;
  std::vector<std::pair<uint64_t, uint64_t>> arrivals[2];  // (stream offset end, scr)
  uint64_t sent[2] = {};
  for (const auto& pack : mux.parsed.packs) {
    Occupancy now{0, 0};
    for (int s = 0; s < 2; ++s) {
      const auto& units = s == 0 ? mux.video : mux.audio;
      // Bytes sent and not yet decoded: a unit leaves the buffer at its decoding time.
      uint64_t removed = 0;
      for (const auto& u : units) {
        if (u.dts > pack.scr || u.start >= sent[s]) break;
        removed += std::min(u.end, sent[s]) - u.start;
      }
      (s == 0 ? now.video : now.audio) = sent[s] - removed;
    }
    result.push_back(now);
    if (pack.streamId == 0xE0) sent[0] += pack.data.size();
    if (pack.streamId == 0xC0) sent[1] += pack.data.size();
  }
  return result;
}

TEST(MultiplexerTest, PaddingFillsTheRateWhileTheBuffersCannotTakeMore) {
  // The header claims 1150 kbit/s but the pictures carry a quarter of it: the decoder's
  // buffers fill up and the rest of the rate is padding.
  std::vector<uint8_t> video = GopVideo(250, 4000, 2000, 1000);
  auto mux = Mux(video, AudioOf(10.0));
  ASSERT_TRUE(mux->parsed.error.empty()) << mux->parsed.error;
  EXPECT_EQ(mux->parsed.Payload(0xE0), video);
  std::vector<Occupancy> occupancy = OccupancyBeforeEachPack(*mux);
  size_t padding = 0, bothFull = 0;
  for (size_t i = 0; i < mux->parsed.packs.size(); ++i) {
    const ParsedPack& pack = mux->parsed.packs[i];
    // Never more in a buffer than it holds.
    EXPECT_LE(occupancy[i].video, kVideoBufferSize) << i;
    EXPECT_LE(occupancy[i].audio, kAudioBufferSize) << i;
    if (pack.streamId != 0xBE) continue;
    ++padding;
    EXPECT_EQ(pack.size, 2048u);
    EXPECT_EQ(pack.data, std::vector<uint8_t>(kP, 0xFF));
    const bool videoFull = occupancy[i].video + kP > kVideoBufferSize;
    const bool audioFull = occupancy[i].audio + kP > kAudioBufferSize;
    EXPECT_TRUE(videoFull || audioFull) << "padding at pack " << i << " with room in both";
    if (videoFull && audioFull) ++bothFull;
  }
  EXPECT_GT(padding, mux->parsed.packs.size() / 2);
  EXPECT_GT(bothFull, 0u);
}

TEST(MultiplexerTest, AfterAShorterAudioOnlyVideoAndPaddingFollow) {
  std::vector<uint8_t> video = GopVideo(100, 15000, 6000, 3000);
  std::vector<uint8_t> audio = AudioOf(1.5);
  auto mux = Mux(video, audio);
  ASSERT_TRUE(mux->parsed.error.empty()) << mux->parsed.error;
  EXPECT_EQ(mux->parsed.Payload(0xC0), audio);
  EXPECT_EQ(mux->parsed.Payload(0xE0), video);
  size_t lastAudio = 0;
  for (size_t i = 0; i < mux->parsed.packs.size(); ++i)
    if (mux->parsed.packs[i].streamId == 0xC0) lastAudio = i;
  ASSERT_LT(lastAudio + 10, mux->parsed.packs.size());
  for (size_t i = lastAudio + 1; i < mux->parsed.packs.size(); ++i) {
    uint8_t id = mux->parsed.packs[i].streamId;
    EXPECT_TRUE(id == 0xE0 || id == 0xBE) << i;
  }
  // The audio's last pack is the only short one of the audio.
  EXPECT_LE(mux->parsed.packs[lastAudio].size, 2048u);
}

TEST(MultiplexerTest, VideoWithoutSequenceEndKeepsItsLastPicture) {
  TestVideoOptions options;
  options.sequenceEnd = false;
  std::vector<uint8_t> video = GopVideo(30, 9000, 4000, 2000, options);
  auto mux = Mux(video, AudioOf(1.2));
  ASSERT_TRUE(mux->parsed.error.empty()) << mux->parsed.error;
  EXPECT_EQ(mux->parsed.Payload(0xE0), video);
}

TEST(MultiplexerTest, PicturesTooBigForTheRateAreCountedAsTimedOut) {
  // A 120 kB picture cannot reach a 46 kB buffer by its decoding time.
  std::vector<TestPicture> pictures(60, TestPicture{0, 2, 1500, false});
  for (unsigned i = 0; i < pictures.size(); ++i) pictures[i].temporalReference = i;
  pictures[0] = {0, 1, 1500, true};
  pictures[30].type = 1;
  pictures[30].size = 120000;
  TestVideoOptions options;
  options.bitRate = 500;  // 200 kbit/s
  std::vector<uint8_t> video = MakeVideoStream(pictures, options);
  auto mux = Mux(video, AudioOf(2.4));
  ASSERT_TRUE(mux->parsed.error.empty()) << mux->parsed.error;
  EXPECT_EQ(mux->parsed.Payload(0xE0), video);
  // The picture's bytes crowd out the sound, which then goes late as well.
  EXPECT_GT(mux->counters.audioTimedOut, 0u);
  RecordingConversionLog log;
  {
    ScopedConversionLog scope(log);
    ReportMultiplexCounters(mux->counters);
  }
  EXPECT_EQ(log.HasLine("Error: video timed-out"), mux->counters.videoTimedOut != 0);
  EXPECT_TRUE(log.HasLine("Error: audio timed-out"));
  EXPECT_FALSE(log.HasLine("Error: video ended too soon"));
  EXPECT_FALSE(log.HasLine("Error: audio ended too soon"));

  // The next run starts its counters afresh.
  auto clean = Mux(GopVideo(24, 9000, 4000, 2000), AudioOf(1.0));
  EXPECT_EQ(clean->counters.videoTimedOut, 0u);
  EXPECT_EQ(clean->counters.audioTimedOut, 0u);
}

TEST(MultiplexerTest, HexTextVideoIsMultiplexedAsTheBytesItSpells) {
  std::vector<uint8_t> video = GopVideo(12, 5000, 2000, 1000);
  std::string text;
  for (size_t i = 0; i < video.size(); ++i) {
    text += "0123456789ABCDEF"[video[i] >> 4];
    text += "0123456789ABCDEF"[video[i] & 15];
    if (i % 32 == 31) text += "\r\n";
  }
  TempDir dir;
  testing::WriteText(dir.File("v.txt"), text);
  testing::WriteBytes(dir.File("a.mp2"), AudioOf(0.5));
  MultiplexFiles(dir.File("v.txt"), dir.File("a.mp2"), dir.File("out.mpg"));
  auto parsed = testing::ParseSystemStream(testing::ReadBytes(dir.File("out.mpg")));
  ASSERT_TRUE(parsed.error.empty()) << parsed.error;
  EXPECT_EQ(parsed.Payload(0xE0), video);
}

TEST(MultiplexerTest, OneStreamAloneUses2000BytePacketsBehindAShorterSystemHeader) {
  TempDir dir;
  std::vector<uint8_t> video = GopVideo(24, 9000, 4000, 2000);
  testing::WriteBytes(dir.File("v.m1v"), video);
  VideoStreamInfo info;
  double startup = kNoStartupTime;
  AnalyseVideoStream(dir.File("v.m1v"), dir.File("vl"), info, startup);
  MultiplexStreams(dir.File("v.m1v"), dir.File("vl"), info, "", "", AudioStreamInfo{},
                   dir.File("out.mpg"), kVideoStream);
  EXPECT_FALSE(std::filesystem::exists(dir.File("vl")));
  auto parsed = testing::ParseSystemStream(testing::ReadBytes(dir.File("out.mpg")));
  ASSERT_TRUE(parsed.error.empty()) << parsed.error;
  EXPECT_EQ(parsed.Payload(0xE0), video);
  ASSERT_GT(parsed.packs.size(), 3u);
  const auto& first = parsed.packs.front();
  EXPECT_EQ(first.size, 2048u);
  EXPECT_EQ(first.data.size(), 2000u);
  ASSERT_EQ(first.systemHeader.size(), 15u);
  EXPECT_EQ(first.systemHeader[9], 0x03);  // no audio
  EXPECT_EQ(first.systemHeader[10], 0xE1);
  EXPECT_EQ(first.systemHeader[12], 0xE0);
}

}  // namespace
}  // namespace quendrolix
