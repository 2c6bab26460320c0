// AVI files with PCM sound, written through our AVI services, go through the whole AVI to
// MPG road; ffprobe must see one MPEG-1 video and one MP2 stream in an MPEG program
// stream, ffmpeg must decode both without a complaint, the two must start together and
// last as long as the source, and the sound must still be the source's tone.
#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

#include "support/mpeg_system_fixtures.h"
#include "support/mpeg_wire_fixtures.h"
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
  uint32_t fps;
  double codedFps;  // after replication
  uint32_t sampleRate;
  uint16_t channels;
  uint16_t bits;
};

void PrintTo(const Case& c, std::ostream* os) {
  *os << c.name;
}

constexpr double kSeconds = 2.0;

class AviToMpgInteropTest : public ::testing::TestWithParam<Case> {};

TEST_P(AviToMpgInteropTest, PeersReadDecodeAndLineUpWhatWeMake) {
  QUENDROLIX_REQUIRE_TOOL(ffmpeg, "ffmpeg");
  QUENDROLIX_REQUIRE_TOOL(ffprobe, "ffprobe");
  const Case& c = GetParam();
  TempDir dir;
  const std::string avi = dir.File("clip.avi"), mpg = dir.File("clip.mpg");
  testing::AviSpec spec;
  spec.width = 96;
  spec.height = 64;
  spec.rate = c.fps;
  spec.frames = static_cast<int>(c.fps * kSeconds);
  spec.sound = testing::AviSoundSpec{1, c.sampleRate, c.channels, c.bits, kSeconds};
  ASSERT_EQ(testing::WriteAviWithSound(avi, spec), AVIERR_OK);

  auto r = testing::RunCli({"avi2mpg", avi});
  ASSERT_EQ(r.status, 0) << r.output << r.errors;
  ASSERT_NE(r.output.find("MPG completed!"), std::string::npos) << r.output;

  auto streams = Probe(ffprobe,
                       "-show_entries format=format_name,nb_streams:stream=codec_name,"
                       "codec_type,start_time,sample_rate,channels " +
                           ShellQuote(mpg));
  EXPECT_EQ(Value(streams, "format_name"), "mpeg");
  ASSERT_EQ(Value(streams, "nb_streams"), "2");
  std::string videoStart, audioStart;
  for (int i = 0; i < 2; ++i) {
    const std::string type = Value(streams, "codec_type", i);
    if (type == "video") {
      EXPECT_EQ(Value(streams, "codec_name", i), "mpeg1video");
      videoStart = Value(streams, "start_time", i);
    } else {
      EXPECT_EQ(type, "audio");
      EXPECT_EQ(Value(streams, "codec_name", i), "mp2");
      audioStart = Value(streams, "start_time", i);
    }
  }
  EXPECT_EQ(Value(streams, "sample_rate"), "44100");
  EXPECT_EQ(Value(streams, "channels"), std::to_string(c.channels));
  ASSERT_FALSE(videoStart.empty());
  ASSERT_FALSE(audioStart.empty());
  EXPECT_LT(std::fabs(std::atof(videoStart.c_str()) - std::atof(audioStart.c_str())),
            1 / c.codedFps);

  auto decode =
      RunCommand(ShellQuote(ffmpeg) + " -nostdin -v warning -i " + ShellQuote(mpg) + " -f null -");
  EXPECT_EQ(decode.status, 0);
  EXPECT_EQ(decode.errors, "");

  // Both streams last as long as the source: every picture, and the sound up to the
  // padding of its last frame.
  const long pictures = CountFrames(ffprobe, mpg, "v");
  const long audioFrames = CountFrames(ffprobe, mpg, "a");
  EXPECT_NEAR(pictures / c.codedFps, kSeconds, 0.5 / c.codedFps);
  EXPECT_NEAR(audioFrames * 1152.0 / 44100, kSeconds, 1152.0 / 44100);

  // The sound is still a 440 Hz tone at about half scale in the middle second.
  const std::string raw = dir.File("sound.raw");
  ASSERT_EQ(RunCommand(ShellQuote(ffmpeg) + " -nostdin -v error -y -i " + ShellQuote(mpg) +
                       " -map 0:a -ac 1 -f s16le " + ShellQuote(raw))
                .status,
            0);
  const std::vector<uint8_t> bytes = testing::ReadBytes(raw);
  ASSERT_GE(bytes.size(), 2 * 44100u * 3 / 2);
  double energy = 0;
  int crossings = 0;
  int16_t previous = 0;
  for (size_t i = 44100 / 2; i < 44100 * 3 / 2; ++i) {
    const auto s = static_cast<int16_t>(bytes[2 * i] | bytes[2 * i + 1] << 8);
    energy += static_cast<double>(s) * s;
    if (i > 44100 / 2 && (previous < 0) != (s < 0)) ++crossings;
    previous = s;
  }
  EXPECT_NEAR(std::sqrt(energy / 44100) / 32768, 0.5 / std::sqrt(2.0), 0.05);
  EXPECT_NEAR(crossings, 880, 10);
}

INSTANTIATE_TEST_SUITE_P(Clips, AviToMpgInteropTest,
                         ::testing::Values(Case{"fps10_11k_mono_8bit", 10, 30, 11025, 1, 8},
                                           Case{"fps15_22k_stereo_16bit", 15, 30, 22050, 2, 16},
                                           Case{"fps25_44k_stereo_16bit", 25, 25, 44100, 2, 16},
                                           Case{"fps30_44k_mono_8bit", 30, 30, 44100, 1, 8},
                                           Case{"fps25_22k_mono_8bit", 25, 25, 22050, 1, 8},
                                           Case{"fps30_11k_stereo_16bit", 30, 30, 11025, 2, 16}),
                         [](const ::testing::TestParamInfo<Case>& info) {
                           return info.param.name;
                         });

}  // namespace
}  // namespace quendrolix
