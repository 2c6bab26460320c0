// Streams made by ffmpeg go through our analysis and multiplexer; ffprobe and ffmpeg must
// then read the system stream as one MPEG-1 video and one MP2 stream, decode both without
// a complaint, start them together and keep their lengths.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <sstream>

#include "support/mpeg_system_fixtures.h"
#include "support/test_support.h"

namespace quendrolix {
namespace {
using testing::CountFrames;
using testing::Probe;
using testing::RunCommand;
using testing::ShellQuote;
using testing::TempDir;
using testing::Value;

struct Case {
  std::string name;
  std::string size;  // WxH
  std::string rate;  // frames per second as ffmpeg takes it
  double fps;
  std::string videoOptions;
  double videoSeconds;
  int sampleRate;
  int channels;
  int audioKbps;
  double audioSeconds;
  bool appendSequenceEnd;  // ffmpeg's elementary streams end without one
};

void PrintTo(const Case& c, std::ostream* os) {
  *os << c.name;
}

class MpegSystemInteropTest : public ::testing::TestWithParam<Case> {};

TEST_P(MpegSystemInteropTest, PeersReadAndDecodeWhatWeMultiplex) {
  QUENDROLIX_REQUIRE_TOOL(ffmpeg, "ffmpeg");
  QUENDROLIX_REQUIRE_TOOL(ffprobe, "ffprobe");
  const Case& c = GetParam();
  TempDir dir;
  const std::string video = dir.File("anim.m1v"), audio = dir.File("tune.mp2"),
                    output = dir.File("out.mpg");
  std::ostringstream makeVideo;
  makeVideo << ShellQuote(ffmpeg) << " -nostdin -v error -y -f lavfi -i testsrc=size=" << c.size
            << ":rate=" << c.rate << " -t " << c.videoSeconds << " -c:v mpeg1video "
            << c.videoOptions << " -f mpeg1video " << ShellQuote(video);
  ASSERT_EQ(RunCommand(makeVideo.str()).status, 0);
  std::ostringstream makeAudio;
  makeAudio << ShellQuote(ffmpeg)
            << " -nostdin -v error -y -f lavfi -i sine=frequency=440:sample_rate=" << c.sampleRate
            << " -t " << c.audioSeconds << " -ac " << c.channels << " -c:a mp2 -b:a " << c.audioKbps
            << "k -f mp2 " << ShellQuote(audio);
  ASSERT_EQ(RunCommand(makeAudio.str()).status, 0);
  if (c.appendSequenceEnd) {
    auto bytes = testing::ReadBytes(video);
    bytes.insert(bytes.end(), {0x00, 0x00, 0x01, 0xB7});
    testing::WriteBytes(video, bytes);
  }
  const long sourcePictures = CountFrames(ffprobe, video, "v");
  const long sourceAudioFrames = CountFrames(ffprobe, audio, "a");
  ASSERT_GT(sourcePictures, 0);
  ASSERT_GT(sourceAudioFrames, 0);

  auto merged = testing::RunCli({"merge-mpg", video, audio, output});
  ASSERT_EQ(merged.status, 0) << merged.output << merged.errors;
  auto parsed = testing::ParseSystemStream(testing::ReadBytes(output));
  ASSERT_TRUE(parsed.error.empty()) << parsed.error;

  auto streams = Probe(ffprobe,
                       "-show_entries format=format_name,nb_streams:stream=codec_name,"
                       "codec_type,start_time " +
                           ShellQuote(output));
  EXPECT_EQ(Value(streams, "format_name"), "mpeg");
  EXPECT_EQ(Value(streams, "nb_streams"), "2");
  std::string videoStart, audioStart;
  for (int i = 0; i < 2; ++i) {
    std::string type = Value(streams, "codec_type", i);
    std::string codec = Value(streams, "codec_name", i);
    if (type == "video") {
      EXPECT_EQ(codec, "mpeg1video");
      videoStart = Value(streams, "start_time", i);
    } else {
      EXPECT_EQ(type, "audio");
      EXPECT_EQ(codec, "mp2");
      audioStart = Value(streams, "start_time", i);
    }
  }
  ASSERT_FALSE(videoStart.empty());
  ASSERT_FALSE(audioStart.empty());
  EXPECT_LT(std::fabs(std::atof(videoStart.c_str()) - std::atof(audioStart.c_str())), 1 / c.fps);

  auto decode = RunCommand(ShellQuote(ffmpeg) + " -nostdin -v warning -i " + ShellQuote(output) +
                           " -f null -");
  EXPECT_EQ(decode.status, 0);
  EXPECT_EQ(decode.errors, "");

  // Lengths: every audio frame and every picture, whether a sequence end follows or not.
  const long pictures = CountFrames(ffprobe, output, "v");
  const long audioFrames = CountFrames(ffprobe, output, "a");
  EXPECT_EQ(pictures, sourcePictures);
  EXPECT_EQ(audioFrames, sourceAudioFrames);
  EXPECT_NEAR(pictures / c.fps, c.videoSeconds, 1.5 / c.fps);
  EXPECT_NEAR(audioFrames * 1152.0 / c.sampleRate, c.audioSeconds, 1152.0 / c.sampleRate);
}

INSTANTIATE_TEST_SUITE_P(
    Streams, MpegSystemInteropTest,
    ::testing::Values(
        Case{"cif_25_same_length", "352x288", "25", 25, "-b:v 1150k -maxrate 1150k -bufsize 327680",
             4, 44100, 2, 224, 4, true},
        Case{"qcif_25_bframes_audio_shorter", "176x144", "25", 25,
             "-b:v 600k -maxrate 600k -bufsize 327680 -bf 2", 3, 48000, 2, 192, 1.5, false},
        Case{"qvga_ntsc_variable_rate_audio_longer", "320x240", "30000/1001", 30000.0 / 1001,
             "-b:v 800k -bf 2", 2, 32000, 1, 64, 3.5, false},
        Case{"vga_film_long", "640x480", "24000/1001", 24000.0 / 1001,
             "-b:v 2500k -maxrate 2500k -bufsize 327680 -g 18", 8, 44100, 2, 128, 8, true},
        Case{"tiny_30_short", "96x64", "30", 30, "-b:v 200k -maxrate 200k -bufsize 163840", 0.5,
             44100, 1, 96, 0.5, false}),
    [](const ::testing::TestParamInfo<Case>& info) { return info.param.name; });

TEST(MpegSystemInteropRefusalTest, AnMpgThatIsAlreadyASystemStreamIsRefused) {
  QUENDROLIX_REQUIRE_TOOL(ffmpeg, "ffmpeg");
  TempDir dir;
  auto made =
      RunCommand(ShellQuote(ffmpeg) +
                 " -nostdin -v error -y -f lavfi -i testsrc=size=176x144:rate=25 -f lavfi -i "
                 "sine=sample_rate=44100 -t 1 -c:v mpeg1video -c:a mp2 -f mpeg " +
                 ShellQuote(dir.File("made.mpg")));
  ASSERT_EQ(made.status, 0) << made.errors;
  auto sound = RunCommand(ShellQuote(ffmpeg) +
                          " -nostdin -v error -y -f lavfi -i sine=sample_rate=44100 "
                          "-t 1 -c:a mp2 -f mp2 " +
                          ShellQuote(dir.File("tune.mp2")));
  ASSERT_EQ(sound.status, 0);
  auto r = testing::RunCli(
      {"merge-mpg", dir.File("made.mpg"), dir.File("tune.mp2"), dir.File("out.mpg")});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.output, "Multiplexing...\nError: invalid MPG header\nMp2 engine closed\n");
  EXPECT_FALSE(std::filesystem::exists(dir.File("out.mpg")));
}

}  // namespace
}  // namespace quendrolix
