// The project's sound on every road as users meet it: sound files of every kind made by
// ffmpeg, cut, fitted or kept by the project's policy, the movies decoded by ffmpeg. Both
// streams must last what the policy says, start together, and the files must not be
// mostly padding.

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "support/image_fixtures.h"
#include "support/sound_timing_fixtures.h"
#include "support/test_support.h"

namespace quendrolix {
namespace {
namespace fs = std::filesystem;
using namespace testing;

const char* const kPhotos[] = {"/usr/share/backgrounds/mate/nature/Aqua.jpg",
                               "/usr/share/backgrounds/mate/nature/GreenMeadow.jpg",
                               "/usr/share/backgrounds/mate/nature/YellowFlower.jpg"};

struct SoundKind {
  const char* name;     // file name
  const char* options;  // ffmpeg's output options for it
  int rate;
  int channels;
};

const SoundKind kSounds[] = {
    {"u8_8k_mono.wav", "-c:a pcm_u8", 8000, 1},
    {"s16_48k_stereo.wav", "-c:a pcm_s16le", 48000, 2},
    {"s24_96k_5.1.wav", "-c:a pcm_s24le", 96000, 6},
    {"s32_192k_stereo.wav", "-c:a pcm_s32le", 192000, 2},
    {"f32_44k_7.1.wav", "-c:a pcm_f32le", 44100, 8},
    {"music.mp3", "-c:a libmp3lame -b:a 128k", 44100, 2},
    {"music.ogg", "-c:a libvorbis", 44100, 2},
    {"music.opus", "-c:a libopus", 48000, 2},
    {"music.flac", "-c:a flac", 48000, 2},
    {"music.m4a", "-c:a aac", 44100, 2},
};

constexpr int kFps = 25;
constexpr double kSoundSeconds = 3.0;
// 12 + 13 + 25 frames at 25 fps: two seconds of pictures.
const int kCounts[] = {12, 13, 25};
constexpr double kPictureSeconds = 2.0;

class SoundPolicyRoads : public ::testing::TestWithParam<SoundKind> {
 protected:
  TempDir dir;
  std::string home = dir.File("home");
  std::vector<std::string> pictures;
  std::string sound;

  void SetUp() override {
    if (FindTool("ffmpeg").empty() || FindTool("ffprobe").empty())
      GTEST_SKIP() << "ffmpeg is not installed";
    std::string missing;
    pictures = PhotoBitmaps({std::begin(kPhotos), std::end(kPhotos)}, dir.path().string(), 64, 48,
                            missing);
    if (pictures.empty()) GTEST_SKIP() << missing;
    const SoundKind& kind = GetParam();
    sound = dir.File(kind.name);
    const CommandResult made =
        RunCommand("ffmpeg -v error -y -f lavfi -i sine=f=440:d=" + std::to_string(kSoundSeconds) +
                   ":sample_rate=" + std::to_string(kind.rate) + " -ac " +
                   std::to_string(kind.channels) + " " + kind.options + " " + ShellQuote(sound));
    ASSERT_EQ(made.status, 0) << made.errors;
  }

  std::string Project(const char* fit) {
    const std::string qdx = dir.File(std::string(fit) + ".qdx");
    std::vector<std::string> args = {
        "--home",  home,  "project",     "new", qdx, "--fps", std::to_string(kFps),
        "--sound", sound, "--sound-fit", fit};
    for (size_t i = 0; i < pictures.size(); ++i)
      args.push_back(pictures[i] + "," + std::to_string(kCounts[i]));
    const CommandResult r = RunCli(args);
    EXPECT_EQ(r.status, 0) << r.errors;
    return qdx;
  }
};

TEST_P(SoundPolicyRoads, BothStreamsLastWhatThePolicySays) {
  // The sound as ffmpeg decodes it (a coded sound may hold a little more than asked for).
  const double soundSeconds = DecodedSoundSeconds(sound);
  ASSERT_NEAR(soundSeconds, kSoundSeconds, 0.05);
  struct Policy {
    const char* name;
    double video, audio;
  };
  const Policy policies[] = {{"trim", kPictureSeconds, kPictureSeconds},
                             {"fit", soundSeconds, soundSeconds},
                             {"keep", soundSeconds, soundSeconds}};
  const double frame = 1.0 / kFps;
  for (const Policy& policy : policies) {
    const std::string qdx = Project(policy.name);
    for (const char* extension : {".mpg", ".avi", ".mp4"}) {
      SCOPED_TRACE(std::string(policy.name) + " " + extension);
      const std::string movie = dir.File(std::string(policy.name) + extension);
      const CommandResult built = RunCli({"--home", home, "create", qdx, movie});
      ASSERT_EQ(built.status, 0) << built.output << built.errors;
      const DecodedMovie m = DecodeMovie(movie);
      ASSERT_TRUE(m.ok) << m.why;
      ASSERT_TRUE(m.hasAudio);
      // The sound's coder works in frames of its own (1152 samples of layer II, 1024 of
      // AAC at the source's rate), which may end it that much later.
      const double coderFrame = std::string(extension) == ".mpg"   ? 1152.0 / 44100
                                : std::string(extension) == ".mp4" ? 1024.0 / GetParam().rate
                                                                   : 0.0;
      EXPECT_NEAR(m.VideoSeconds(), policy.video, frame);
      EXPECT_NEAR(m.audioSeconds, policy.audio, frame + coderFrame);
      EXPECT_NEAR(m.audioStart, m.frameTimes.front(), frame);
      if (std::string(extension) != ".mp4") {
        const PaddingCount pad =
            std::string(extension) == ".mpg" ? MpgPadding(movie) : AviPadding(movie);
        ASSERT_GE(pad.padding, 0) << "not a well-formed file";
        EXPECT_LE(static_cast<double>(pad.padding), 0.05 * static_cast<double>(pad.total))
            << pad.padding << " of " << pad.total << " bytes are padding";
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(EverySoundKind, SoundPolicyRoads, ::testing::ValuesIn(kSounds),
                         [](const ::testing::TestParamInfo<SoundKind>& info) {
                           std::string name;
                           for (char c : std::string(info.param.name))
                             name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                           return name;
                         });

}  // namespace
}  // namespace quendrolix
