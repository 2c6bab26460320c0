// Sounds as users bring them: a damaged one is used as far as it decodes (exit 3, the
// file named), one that cannot be used is refused before any picture is coded, a 48 kHz
// WAV is resampled for the layer II encoder with a warning, merge-avi takes music files,
// and AVIs at rates the MPEG-1 engine lacks keep their duration and sync in avi2mpg.

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "support/image_fixtures.h"
#include "support/sound_timing_fixtures.h"
#include "support/test_support.h"

namespace quendrolix {
namespace {
namespace fs = std::filesystem;
using namespace testing;

const char* const kPhoto = "/usr/share/backgrounds/mate/nature/GreenMeadow.jpg";

class SoundSources : public ::testing::Test {
 protected:
  TempDir dir;
  std::string home = dir.File("home");
  std::string picture;

  void SetUp() override {
    if (FindTool("ffmpeg").empty() || FindTool("ffprobe").empty())
      GTEST_SKIP() << "ffmpeg is not installed";
    std::string missing;
    const auto made = PhotoBitmaps({kPhoto}, dir.path().string(), 64, 48, missing);
    if (made.empty()) GTEST_SKIP() << missing;
    picture = made[0];
  }

  void Ffmpeg(const std::string& arguments) {
    const CommandResult r = RunCommand("ffmpeg -v error -y " + arguments);
    ASSERT_EQ(r.status, 0) << r.errors;
  }

  std::string Project(const std::string& sound, const char* fit = "keep") {
    const std::string qdx = dir.File("p.qdx");
    EXPECT_EQ(RunCli({"--home", home, "project", "new", qdx, "--fps", "25", "--sound", sound,
                      "--sound-fit", fit, picture + ",25", picture + ",25"})
                  .status,
              0);
    return qdx;
  }
};

TEST_F(SoundSources, ADamagedSoundIsUsedAsFarAsItDecodesAndTheBuildSaysSo) {
  const std::string sound = dir.File("damaged.mp3");
  Ffmpeg("-f lavfi -i sine=f=440:d=6:sample_rate=44100 -ac 2 -c:a libmp3lame " + ShellQuote(sound));
  std::vector<uint8_t> bytes = ReadBytes(sound);
  std::mt19937 random(7);
  for (size_t i = bytes.size() / 3; i < bytes.size() / 3 + 8000; ++i)
    bytes[i] = static_cast<uint8_t>(random());
  WriteBytes(sound, bytes);
  const std::string qdx = Project(sound);
  for (const char* extension : {".avi", ".mpg", ".mp4"}) {
    SCOPED_TRACE(extension);
    const std::string movie = dir.File(std::string("damaged") + extension);
    const CommandResult r = RunCli({"--home", home, "create", qdx, movie});
    EXPECT_EQ(r.status, 3) << r.output << r.errors;
    EXPECT_NE((r.output + r.errors).find("Warning: the sound " + sound + " is damaged"),
              std::string::npos)
        << r.output << r.errors;
    const DecodedMovie m = DecodeMovie(movie);
    ASSERT_TRUE(m.ok) << m.why;
    // What decodes of the six seconds is there, and the pictures last as long.
    EXPECT_GT(m.audioSeconds, 4.0);
    EXPECT_NEAR(m.VideoSeconds(), m.audioSeconds, 0.04 + 1152.0 / 44100);
  }
  // WAV to MP2 on it: made, but incomplete.
  const CommandResult mp2 = RunCli({"--home", home, "wav2mp2", sound});
  EXPECT_EQ(mp2.status, 3) << mp2.output << mp2.errors;
  EXPECT_NE(mp2.output.find("Warning: " + sound + " is damaged"), std::string::npos);
  EXPECT_GT(DecodedSoundSeconds(dir.File("damaged.mp2")), 4.0);
  // The merge commands with it: made, but incomplete.
  const std::string m1v = dir.File("anim.m1v"), avi = dir.File("anim.avi");
  Ffmpeg("-f lavfi -i testsrc=size=64x48:rate=25:d=6 -c:v mpeg1video -f mpeg1video " +
         ShellQuote(m1v));
  Ffmpeg("-f lavfi -i testsrc=size=64x48:rate=25:d=6 -c:v mjpeg " + ShellQuote(avi));
  for (const auto& [command, video, output] :
       {std::tuple{"merge-mpg", m1v, dir.File("merged.mpg")},
        std::tuple{"merge-avi", avi, dir.File("merged.avi")}}) {
    SCOPED_TRACE(command);
    const CommandResult merged = RunCli({"--home", home, command, video, sound, output});
    EXPECT_EQ(merged.status, 3) << merged.output << merged.errors;
    EXPECT_NE((merged.output + merged.errors).find(sound), std::string::npos) << merged.output;
    EXPECT_GT(DecodedSoundSeconds(output), 4.0);
  }
}

TEST_F(SoundSources, ASoundThatCannotBeUsedIsRefusedBeforeAnyPictureIsCoded) {
  const std::string sound = dir.File("noise.mp3");
  std::vector<uint8_t> bytes(20000);
  std::mt19937 random(3);
  for (uint8_t& b : bytes) b = static_cast<uint8_t>(random() & 0x7F);  // no frame sync
  WriteBytes(sound, bytes);
  const std::string qdx = Project(sound);
  for (const char* extension : {".avi", ".mpg", ".mp4"}) {
    SCOPED_TRACE(extension);
    const std::string movie = dir.File(std::string("refused") + extension);
    const CommandResult r = RunCli({"--home", home, "create", qdx, movie});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE((r.output + r.errors).find("Could not read the sound " + sound), std::string::npos)
        << r.output << r.errors;
    EXPECT_EQ((r.output + r.errors).find("Compressing video"), std::string::npos);
    EXPECT_FALSE(fs::exists(movie));
  }
}

TEST_F(SoundSources, ASoundShorterThanThePicturesEndsEarlyAndNothingIsPaddedOut) {
  const std::string sound = dir.File("short.ogg");
  Ffmpeg("-f lavfi -i sine=f=440:d=1:sample_rate=22050 -c:a libvorbis " + ShellQuote(sound));
  const double soundSeconds = DecodedSoundSeconds(sound);
  struct Policy {
    const char* name;
    double video;
  };
  for (const Policy& policy : {Policy{"trim", 2.0}, Policy{"keep", 2.0}, Policy{"fit", 1.0}}) {
    const std::string qdx = Project(sound, policy.name);
    for (const char* extension : {".avi", ".mpg", ".mp4"}) {
      SCOPED_TRACE(std::string(policy.name) + extension);
      const std::string movie = dir.File(std::string("short") + extension);
      ASSERT_EQ(RunCli({"--home", home, "create", qdx, movie}).status, 0);
      const DecodedMovie m = DecodeMovie(movie);
      ASSERT_TRUE(m.ok) << m.why;
      EXPECT_NEAR(m.VideoSeconds(), policy.video, 0.04);
      EXPECT_NEAR(m.audioSeconds, soundSeconds, 0.04 + 1152.0 / 44100);
      if (std::string(extension) == ".mp4") continue;
      const PaddingCount pad =
          std::string(extension) == ".mpg" ? MpgPadding(movie) : AviPadding(movie);
      ASSERT_GE(pad.padding, 0);
      EXPECT_LE(static_cast<double>(pad.padding), 0.05 * static_cast<double>(pad.total));
    }
  }
}

TEST_F(SoundSources, A48kHzWavBecomesMp2WithAWarningAndMergeAviTakesMusic) {
  const std::string wav = dir.File("song.wav");
  Ffmpeg("-f lavfi -i sine=f=440:d=2:sample_rate=48000 -ac 2 -c:a pcm_s16le " + ShellQuote(wav));
  const CommandResult r = RunCli({"--home", home, "wav2mp2", wav});
  EXPECT_EQ(r.status, 0) << r.errors;
  EXPECT_NE(r.output.find("Warning: resampled from 48000 Hz to 44100 Hz"), std::string::npos)
      << r.output;
  EXPECT_NEAR(DecodedSoundSeconds(dir.File("song.mp2")), 2.0, 0.05);

  // merge-avi with a FLAC: the AVI gets 16-bit PCM at the source's rate.
  const std::string flac = dir.File("song.flac");
  Ffmpeg("-i " + ShellQuote(wav) + " " + ShellQuote(flac));
  const std::string video = dir.File("video.avi"), silent = dir.File("silent.qdx");
  ASSERT_EQ(RunCli({"--home", home, "project", "new", silent, picture + ",50"}).status, 0);
  ASSERT_EQ(RunCli({"--home", home, "create", silent, video}).status, 0);
  const std::string merged = dir.File("merged.avi");
  const CommandResult m = RunCli({"--home", home, "merge-avi", video, flac, merged});
  ASSERT_EQ(m.status, 0) << m.output << m.errors;
  const CommandResult probe = RunCommand(
      "ffprobe -v error -select_streams a -show_entries stream=codec_name,sample_rate "
      "-of csv=p=0 " +
      ShellQuote(merged));
  EXPECT_EQ(probe.output, "pcm_s16le,48000\n");
}

TEST_F(SoundSources, Avi2MpgKeepsTheDurationAndSyncOfRatesTheEngineLacks) {
  for (const char* rate : {"50", "60000/1001"}) {
    SCOPED_TRACE(rate);
    // A white flash at 2 s and a click at 2 s, four seconds in all.
    const std::string source = dir.File("source.avi");
    Ffmpeg(std::string("-f lavfi -i \"color=c=black:s=64x48:r=") + rate +
           ":d=4,drawbox=c=white:t=fill:enable='gte(t,2)'\" -f lavfi -i "
           "\"aevalsrc='if(between(t,2,2.004),0.8*sin(2*PI*1000*t),0)':s=44100:d=4\" "
           "-c:v rawvideo -pix_fmt bgr24 -c:a pcm_s16le " +
           ShellQuote(source));
    const CommandResult r = RunCli({"--home", home, "avi2mpg", source});
    ASSERT_EQ(r.status, 0) << r.output << r.errors;
    const std::string mpg = dir.File("source.mpg");
    const DecodedMovie m = DecodeMovie(mpg, 8000, true);
    ASSERT_TRUE(m.ok) << m.why;
    const double frame = 1.0 / 25;
    EXPECT_NEAR(m.VideoSeconds(), 4.0, frame);
    EXPECT_NEAR(m.audioSeconds, 4.0, frame + 1152.0 / 44100);
    double flash = -1, click = -1;
    for (size_t i = 0; i < m.frameLuma.size() && flash < 0; ++i)
      if (m.frameLuma[i] > 128) flash = m.frameTimes[i] - m.frameTimes.front();
    for (size_t i = 0; i < m.pcm.size() && click < 0; ++i)
      if (std::abs(m.pcm[i]) > 8000) click = m.audioStart + double(i) / m.pcmRate;
    EXPECT_NEAR(flash, 2.0, frame);
    EXPECT_NEAR(click - m.frameTimes.front(), flash, frame);
    fs::remove(mpg);
  }
}

}  // namespace
}  // namespace quendrolix
