#include "mpeg/system/stream_analysis.h"

#include <gtest/gtest.h>

#include <cmath>

#include "mpeg/system/access_unit_list.h"
#include "platform/host/conversion_log.h"
#include "platform/host/file_exception.h"
#include "support/mpeg_system_fixtures.h"
#include "support/test_support.h"

namespace quendrolix {
namespace {
using testing::MakeAudioStream;
using testing::MakeVideoStream;
using testing::TempDir;
using testing::TestAudioOptions;
using testing::TestPicture;
using testing::TestVideoOptions;

std::vector<VideoAccessUnit> ReadVideoList(const std::string& path) {
  std::vector<VideoAccessUnit> units;
  std::FILE* f = std::fopen(path.c_str(), "rb");
  VideoAccessUnit unit;
  while (f && ReadVideoAccessUnit(f, unit)) units.push_back(unit);
  if (f) std::fclose(f);
  return units;
}

std::vector<AudioAccessUnit> ReadAudioList(const std::string& path) {
  std::vector<AudioAccessUnit> units;
  std::FILE* f = std::fopen(path.c_str(), "rb");
  AudioAccessUnit unit;
  while (f && ReadAudioAccessUnit(f, unit)) units.push_back(unit);
  if (f) std::fclose(f);
  return units;
}

struct VideoScan {
  VideoStreamInfo info;
  std::vector<VideoAccessUnit> units;
  double startupTime = kNoStartupTime;
};

VideoScan ScanVideo(const std::vector<uint8_t>& stream) {
  TempDir dir;
  testing::WriteBytes(dir.File("v.m1v"), stream);
  VideoScan scan;
  AnalyseVideoStream(dir.File("v.m1v"), dir.File("list"), scan.info, scan.startupTime);
  scan.units = ReadVideoList(dir.File("list"));
  return scan;
}

struct AudioScan {
  AudioStreamInfo info;
  std::vector<AudioAccessUnit> units;
};

AudioScan ScanAudio(const std::vector<uint8_t>& stream, double startupTime) {
  TempDir dir;
  testing::WriteBytes(dir.File("a.mp2"), stream);
  AudioScan scan;
  AnalyseAudioStream(dir.File("a.mp2"), dir.File("list"), startupTime, scan.info);
  scan.units = ReadAudioList(dir.File("list"));
  return scan;
}

// The line logged and the exception raised by a scan that refuses its input.
std::string RefusalOf(const std::function<void()>& scan) {
  RecordingConversionLog log;
  ScopedConversionLog scope(log);
  try {
    scan();
  } catch (const CFileException& e) {
    EXPECT_EQ(e.cause(), CFileException::kGeneric);
    EXPECT_EQ(log.lines.size(), 1u) << log.Joined();
    return log.lines.empty() ? "" : log.lines.back();
  }
  ADD_FAILURE() << "the scan went through";
  return {};
}

TEST(VideoAnalysisTest, IbbpGroupGetsDecodeAndPresentationTimesAndTheStartupTime) {
  // Coded I B B P with temporal references 2 0 1 5, 25 pictures/s: 3600 ticks a picture.
  std::vector<TestPicture> pictures = {{2, 1, 900, true}, {0, 3, 300}, {1, 3, 310}, {5, 2, 500}};
  std::vector<uint8_t> stream = MakeVideoStream(pictures);
  VideoScan scan = ScanVideo(stream);
  ASSERT_EQ(scan.units.size(), 4u);
  const uint64_t period = 3600;
  EXPECT_EQ(scan.units[0].type, kPictureI);
  EXPECT_EQ(scan.units[0].dts, 0u);
  EXPECT_EQ(scan.units[0].pts, 3 * period);
  EXPECT_EQ(scan.units[1].type, kPictureB);
  EXPECT_EQ(scan.units[1].dts, period);
  EXPECT_EQ(scan.units[1].pts, period);
  EXPECT_EQ(scan.units[2].pts, 2 * period);
  EXPECT_EQ(scan.units[3].type, kPictureP);
  EXPECT_EQ(scan.units[3].dts, 3 * period);
  EXPECT_EQ(scan.units[3].pts, 6 * period);
  EXPECT_DOUBLE_EQ(scan.startupTime, double(period));

  // Units tile the stream: the headers ride with the first picture, the end code with the
  // last, and every unit after the first begins at its picture start code.
  std::vector<size_t> starts = testing::PictureOffsets(stream);
  EXPECT_EQ(scan.units[0].length, starts[1]);
  EXPECT_EQ(scan.units[1].length, 300u);
  EXPECT_EQ(scan.units[3].length, 500u + 4);
  EXPECT_EQ(scan.info.streamLength, stream.size());
  EXPECT_EQ(scan.info.pictures, 4u);
  EXPECT_EQ(scan.info.picturesPerType[0], 1u);
  EXPECT_EQ(scan.info.picturesPerType[2], 2u);
  EXPECT_EQ(scan.info.averageSizePerType[2], 305u);
  EXPECT_EQ(scan.info.sequenceHeaders, 1u);
  EXPECT_EQ(scan.info.sequenceEndCodes, 1u);
  EXPECT_EQ(scan.info.horizontalSize, 176u);
  EXPECT_EQ(scan.info.verticalSize, 144u);
  EXPECT_EQ(scan.info.pictureRateCode, 3u);
  EXPECT_EQ(scan.info.bitRate, 2875u);
  EXPECT_EQ(scan.info.vbvBufferSize, 20u);
}

TEST(VideoAnalysisTest, WithoutSequenceEndTheLastPictureRunsToTheEndOfTheStream) {
  std::vector<TestPicture> pictures = {{0, 1, 800, true}, {1, 2, 400}, {2, 2, 450}};
  TestVideoOptions options;
  options.sequenceEnd = false;
  std::vector<uint8_t> stream = MakeVideoStream(pictures, options);
  VideoScan scan = ScanVideo(stream);
  EXPECT_EQ(scan.info.pictures, 3u);
  ASSERT_EQ(scan.units.size(), 3u);
  EXPECT_EQ(scan.info.recordedPictures, 3u);
  EXPECT_EQ(scan.info.streamLength, stream.size());
  EXPECT_EQ(scan.units[2].length, stream.size() - testing::PictureOffsets(stream)[2]);
  // The same pictures with an end code: the same units, the last one 4 bytes longer.
  options.sequenceEnd = true;
  VideoScan ended = ScanVideo(MakeVideoStream(pictures, options));
  ASSERT_EQ(ended.units.size(), 3u);
  EXPECT_EQ(ended.units[2].length, scan.units[2].length + 4);
  EXPECT_EQ(ended.units[2].pts, scan.units[2].pts);

  // A single picture without an end code is still a picture.
  options.sequenceEnd = false;
  VideoScan single = ScanVideo(MakeVideoStream({{0, 1, 600, true}}, options));
  ASSERT_EQ(single.units.size(), 1u);
  EXPECT_EQ(single.info.streamLength, single.units[0].length);
  EXPECT_DOUBLE_EQ(single.startupTime, 3600);  // one picture period at 25 pictures/s

  // A last picture that broke off inside its header has no coded data: it is left out,
  // and its time does not move the start-up time.
  std::vector<uint8_t> broken = MakeVideoStream({{5, 1, 800, true}, {0, 3, 400}}, options);
  broken.resize(testing::PictureOffsets(broken)[1] + 6);
  VideoScan cut = ScanVideo(broken);
  ASSERT_EQ(cut.units.size(), 1u);
  EXPECT_EQ(cut.info.pictures, 2u);
  EXPECT_DOUBLE_EQ(cut.startupTime, 6 * 3600);
}

TEST(VideoAnalysisTest, AStreamWithoutACompletePictureIsAnError) {
  TestVideoOptions noEnd;
  noEnd.sequenceEnd = false;
  const std::string expected = "Error: the video stream holds no complete picture";
  EXPECT_EQ(RefusalOf([&] { ScanVideo(MakeVideoStream({}, noEnd)); }), expected);
  EXPECT_EQ(RefusalOf([&] { ScanVideo(MakeVideoStream({})); }), expected);
  // Only a picture header, no slice.
  EXPECT_EQ(RefusalOf([&] { ScanVideo(MakeVideoStream({{0, 1, 8, true}}, noEnd)); }), expected);
}

TEST(VideoAnalysisTest, GroupHeadersRestartTheTemporalReferenceAndPicturesCarryOn) {
  auto pictures = testing::IbbpPictures(24, 12, [](unsigned, unsigned) { return 200; });
  VideoScan scan = ScanVideo(MakeVideoStream(pictures));
  ASSERT_EQ(scan.units.size(), 24u);
  // Second group: its I picture is the 13th coded (DTS 12 periods), shown third in its group.
  EXPECT_EQ(scan.units[12].dts, 12u * 3600);
  EXPECT_EQ(scan.units[12].pts, 15u * 3600);
  // Every picture is shown exactly once over the two groups.
  std::vector<uint64_t> shown;
  for (const auto& u : scan.units) shown.push_back(u.pts / 3600);
  std::sort(shown.begin(), shown.end());
  for (unsigned i = 0; i < shown.size(); ++i) EXPECT_EQ(shown[i], i + 1);
  EXPECT_EQ(scan.info.groupsOfPictures, 2u);
}

TEST(VideoAnalysisTest, AGroupOfMoreThan1024PicturesKeepsCountingPastTheWrap) {
  // A picture held for minutes in a slideshow: one group, the temporal reference counting
  // modulo 1024 (I then P pictures, shown in coded order).
  std::vector<testing::TestPicture> pictures;
  for (unsigned i = 0; i < 2500; ++i) {
    testing::TestPicture p;
    p.size = 200;
    p.groupBefore = i == 0;
    p.type = i == 0 ? 1 : 2;
    p.temporalReference = i % 1024;
    pictures.push_back(p);
  }
  VideoScan scan = ScanVideo(MakeVideoStream(pictures));
  ASSERT_EQ(scan.units.size(), 2500u);
  for (unsigned i : {0u, 1023u, 1024u, 2047u, 2048u, 2499u}) {
    EXPECT_EQ(scan.units[i].dts, i * 3600u) << i;
    EXPECT_EQ(scan.units[i].pts, (i + 1) * 3600u) << i;
  }
}

TEST(VideoAnalysisTest, ComputedBitRateAndPictureRates) {
  // 50 pictures of 3000 bytes at 25/s: 600 kbit/s and the headers, rounded up to 610 kbit/s.
  std::vector<TestPicture> pictures(50, TestPicture{0, 1, 3000, false});
  VideoScan scan = ScanVideo(MakeVideoStream(pictures));
  EXPECT_EQ(scan.info.computedBitRate, 610u * 1000 / 400);

  // A picture rate code outside 1..8 is taken as 25 pictures/s.
  TestVideoOptions odd;
  odd.pictureRateCode = 9;
  VideoScan scanOdd = ScanVideo(MakeVideoStream({{0, 1, 100}, {1, 2, 100}}, odd));
  EXPECT_EQ(scanOdd.units[1].dts, 3600u);
  TestVideoOptions ntsc;
  ntsc.pictureRateCode = 4;
  VideoScan scanNtsc = ScanVideo(MakeVideoStream({{0, 1, 100}, {1, 2, 100}}, ntsc));
  EXPECT_EQ(scanNtsc.units[1].dts, 3003u);  // 90000 / 29.97
}

TEST(VideoAnalysisTest, RefusesWhatIsNotAVideoElementaryStream) {
  TempDir dir;
  auto scanFile = [&](const std::vector<uint8_t>& bytes) {
    return RefusalOf([&] {
      testing::WriteBytes(dir.File("v"), bytes);
      VideoStreamInfo info;
      double startup = kNoStartupTime;
      AnalyseVideoStream(dir.File("v"), dir.File("list"), info, startup);
    });
  };
  // A system stream, an empty file, a header cut short.
  EXPECT_EQ(scanFile({0, 0, 1, 0xBA, 0x44, 0, 4, 0, 4, 1}), "Error: invalid MPG header");
  EXPECT_EQ(scanFile({}), "Error: invalid MPG header");
  EXPECT_EQ(scanFile({0, 0, 1, 0xB3, 0x0B, 0x00}), "Error: invalid MPG header");
  // The marker after bit_rate is bit 82 of the stream.
  TestVideoOptions noMarker;
  noMarker.markerBit = 0;
  EXPECT_EQ(scanFile(MakeVideoStream({{0, 1, 100}}, noMarker)),
            "Error: MPEG stream at 82l: marker bit not found");
  EXPECT_EQ(RefusalOf([&] {
              VideoStreamInfo info;
              double startup = 0;
              AnalyseVideoStream(dir.File("missing.m1v"), dir.File("list"), info, startup);
            }),
            "Error: " + dir.File("missing.m1v") + " not found");
}

TEST(AudioAnalysisTest, LayerTwoAt44kHzAnd128KbitsAlternatesFrameLengths) {
  TestAudioOptions options;
  options.bitrateIndex = 8;  // 128 kbit/s
  std::vector<uint8_t> stream = MakeAudioStream(40, options);
  AudioScan scan = ScanAudio(stream, 3600);
  ASSERT_EQ(scan.units.size(), 40u);
  EXPECT_EQ(scan.info.frameLength, 417u);
  EXPECT_EQ(scan.info.paddedFrameLength, 418u);
  EXPECT_EQ(scan.info.frames, 40u);
  EXPECT_EQ(scan.info.framesWithPadding + scan.info.framesWithoutPadding, 40u);
  EXPECT_GT(scan.info.framesWithPadding, 30u);  // 417.96 on average
  uint64_t total = 0;
  for (unsigned k = 0; k < 40; ++k) {
    EXPECT_EQ(scan.units[k].pts, uint64_t(std::floor(k * 1152 / 44.1 * 90 + 3600))) << k;
    EXPECT_TRUE(scan.units[k].length == 417 || scan.units[k].length == 418);
    total += scan.units[k].length;
  }
  EXPECT_EQ(scan.units[1].pts - scan.units[0].pts, 2351u);  // 2351.02 ticks a frame
  EXPECT_EQ(total, stream.size());
  EXPECT_EQ(scan.info.streamLength, stream.size());
  EXPECT_EQ(scan.info.layerCode, 2u);
  EXPECT_EQ(scan.info.bitrateIndex, 8u);
  EXPECT_EQ(scan.info.originalOrCopy, 1u);
}

TEST(AudioAnalysisTest, CutOrTrailedStreamsKeepOnlyWholeFrames) {
  std::vector<uint8_t> stream = MakeAudioStream(10);  // 224 kbit/s: 731 or 732 bytes
  // The last frame cut short is left out rather than promised to the multiplexer.
  std::vector<uint8_t> cut(stream.begin(), stream.end() - 100);
  AudioScan scanCut = ScanAudio(cut, 0);
  EXPECT_EQ(scanCut.units.size(), 9u);
  const AudioScan whole = ScanAudio(stream, 0);
  EXPECT_EQ(scanCut.info.streamLength, stream.size() - whole.units[9].length);
  uint64_t sum = 0;
  for (const auto& u : scanCut.units) sum += u.length;
  EXPECT_EQ(sum, scanCut.info.streamLength);
  // A tag after the last frame ends the scan and is not part of the stream.
  std::vector<uint8_t> tagged = stream;
  for (char c : std::string("TAGsomething")) tagged.push_back(static_cast<uint8_t>(c));
  AudioScan scanTagged = ScanAudio(tagged, 0);
  EXPECT_EQ(scanTagged.units.size(), 10u);
  EXPECT_EQ(scanTagged.info.streamLength, stream.size());
}

TEST(AudioAnalysisTest, EachFrameIsMeasuredByItsOwnHeader) {
  // 256 kbit/s, then 128 kbit/s: 835/836-byte frames, then 417/418-byte ones.
  TestAudioOptions high, low;
  high.bitrateIndex = 12;
  low.bitrateIndex = 8;
  std::vector<uint8_t> stream = MakeAudioStream(5, high);
  const std::vector<uint8_t> second = MakeAudioStream(5, low);
  stream.insert(stream.end(), second.begin(), second.end());
  AudioScan scan = ScanAudio(stream, 1000);
  ASSERT_EQ(scan.units.size(), 10u);
  EXPECT_EQ(scan.info.streamLength, stream.size());
  uint64_t sum = 0;
  for (size_t k = 0; k < 10; ++k) {
    sum += scan.units[k].length;
    EXPECT_TRUE(k < 5 ? scan.units[k].length >= 835 && scan.units[k].length <= 836
                      : scan.units[k].length >= 417 && scan.units[k].length <= 418);
    // Time runs on at 1152 samples a frame whatever the bit rate.
    EXPECT_EQ(scan.units[k].pts, TimeStampFromTicks(k * (1152 / 44.1 * 90) + 1000));
  }
  EXPECT_EQ(sum, stream.size());
  // The info record keeps the first header.
  EXPECT_EQ(scan.info.bitrateIndex, 12u);
  EXPECT_EQ(scan.info.frameLength, 835u);

  // A layer I frame after layer II ones: its 384 samples take less time.
  TestAudioOptions layerOne;
  layerOne.layerCode = 3;
  layerOne.bitrateIndex = 12;
  std::vector<uint8_t> mixed = MakeAudioStream(2);
  const std::vector<uint8_t> tail = MakeAudioStream(2, layerOne);
  mixed.insert(mixed.end(), tail.begin(), tail.end());
  AudioScan scanMixed = ScanAudio(mixed, 0);
  ASSERT_EQ(scanMixed.units.size(), 4u);
  EXPECT_EQ(scanMixed.units[3].pts, TimeStampFromTicks(2 * (1152 / 44.1 * 90) + 384 / 44.1 * 90));
}

TEST(AudioAnalysisTest, AStreamWithoutACompleteFrameIsAnError) {
  std::vector<uint8_t> stream = MakeAudioStream(1);
  stream.resize(300);
  EXPECT_EQ(RefusalOf([&] { ScanAudio(stream, 0); }),
            "Error: the audio stream holds no complete frame");
}

TEST(AudioAnalysisTest, LayerOneFramesAreCountedInFourByteSlots) {
  TestAudioOptions options;
  options.layerCode = 3;
  options.bitrateIndex = 12;  // 384 kbit/s
  options.frequencyCode = 2;  // 32 kHz: 144 slots of 4 bytes, never padded
  std::vector<uint8_t> stream = MakeAudioStream(12, options);
  AudioScan scan = ScanAudio(stream, 0);
  ASSERT_EQ(scan.units.size(), 12u);
  EXPECT_EQ(scan.units[0].length, 576u);
  EXPECT_EQ(scan.units[1].pts, 1080u);  // 384 samples at 32 kHz
}

TEST(AudioAnalysisTest, RefusesWhatIsNotAnAudioStream) {
  TempDir dir;
  auto scanFile = [&](const std::vector<uint8_t>& bytes) {
    return RefusalOf([&] {
      testing::WriteBytes(dir.File("a"), bytes);
      AudioStreamInfo info;
      AnalyseAudioStream(dir.File("a"), dir.File("list"), 0, info);
    });
  };
  EXPECT_EQ(scanFile({'R', 'I', 'F', 'F', 0, 0, 0, 0}), "Error: invalid audio header");
  EXPECT_EQ(scanFile({}), "Error: invalid audio header");
  TestAudioOptions freeFormat;
  freeFormat.bitrateIndex = 0;
  EXPECT_EQ(scanFile(MakeAudioStream(3, freeFormat)), "Error: invalid audio header");
  TestAudioOptions reservedRate;
  reservedRate.frequencyCode = 3;
  EXPECT_EQ(scanFile(MakeAudioStream(3, reservedRate)), "Error: invalid audio header");
  // The ID bit right after the sync word, bit 12, is the marker of an audio header.
  TestAudioOptions lowId;
  lowId.id = 0;
  EXPECT_EQ(scanFile(MakeAudioStream(3, lowId)), "Error: MPEG stream at 12l: marker bit not found");
  // ... also in a later frame: the third header starts after two 731/732-byte frames.
  std::vector<uint8_t> stream = MakeAudioStream(4);
  size_t third = 0;
  for (size_t i = 1, seen = 0; i + 1 < stream.size(); ++i)
    if (stream[i] == 0xFF && (stream[i + 1] & 0xF0) == 0xF0 && ++seen == 2) third = i;
  stream[third + 1] &= 0xF7;
  EXPECT_EQ(scanFile(stream),
            "Error: MPEG stream at " + std::to_string(third * 8 + 12) + "l: marker bit not found");
}

}  // namespace
}  // namespace quendrolix
