// The MP4 road as users take it: real photographs in a project with a sound, Create into
// ".mp4", then what ffprobe and ffmpeg make of the file; Quick create and Join into MP4; a
// sound that cannot be read refused before any picture is coded.

#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "support/avi_fixtures.h"
#include "support/image_fixtures.h"
#include "support/image_tools_fixtures.h"
#include "support/sound_fixtures.h"
#include "support/test_support.h"
#include "support/vfw_fixtures.h"

namespace quendrolix {
namespace {
namespace fs = std::filesystem;
using namespace testing;

const char* const kPhotos[] = {"/usr/share/backgrounds/mate/nature/Aqua.jpg",
                               "/usr/share/backgrounds/mate/nature/GreenMeadow.jpg",
                               "/usr/share/backgrounds/mate/nature/YellowFlower.jpg"};

struct Mp4Road : ::testing::Test {
  TempDir dir;
  std::string home = dir.File("home");
  std::vector<std::string> pictures;  // 320x240 bitmaps made from the photographs

  void SetUp() override {
    std::string missing;
    pictures = PhotoBitmaps({std::begin(kPhotos), std::end(kPhotos)}, dir.path().string(), 320, 240,
                            missing);
    if (pictures.empty()) GTEST_SKIP() << missing;
  }

  // The pictures as the RGB frames a player should show.
  std::vector<uint8_t> PictureRgb(size_t i) const {
    return ExpectedFrameRgb(pictures[i], FrameComposer{}, 24);
  }
};

TEST_F(Mp4Road, AProjectWithSoundKeepsItsPicturesTimingAndSound) {
  QUENDROLIX_REQUIRE_TOOL(ffprobe, "ffprobe");
  WriteToneWav(dir.File("tone.wav"), 22050, 1, 2.0);
  const std::string qdx = dir.File("photos.qdx");
  ASSERT_EQ(
      RunCli({"--home", home, "project", "new", qdx, "--fps", "10", "--sound", dir.File("tone.wav"),
              pictures[0] + ",5", pictures[1] + ",10", pictures[2] + ",5"})
          .status,
      0);
  const std::string movie = dir.File("photos.mp4");
  const CommandResult made = RunCli({"--home", home, "create", qdx, movie});
  ASSERT_EQ(made.status, 0) << made.errors;

  EXPECT_EQ(FfprobeStreams(movie, "codec_name"), "h264\naac\n");
  EXPECT_EQ(FfprobeStreams(movie, "sample_rate", "a:0"), "22050\n");
  EXPECT_NEAR(FfprobeDuration(movie), 2.0, 0.1);
  EXPECT_EQ(FfmpegDecodeErrors(movie), "");

  // Each picture is coded once and shown for its count: the three frames, in order, look
  // like the photographs at the default quality.
  const std::vector<uint8_t> frames = FfmpegFrames(movie, "rgb24");
  const size_t frameBytes = 320 * 240 * 3;
  ASSERT_EQ(frames.size(), 3 * frameBytes);
  for (size_t i = 0; i < 3; ++i) {
    const std::vector<uint8_t> frame(frames.begin() + i * frameBytes,
                                     frames.begin() + (i + 1) * frameBytes);
    EXPECT_GT(Psnr(frame, PictureRgb(i)), 32.0) << "picture " << i;
  }
  // The second picture starts at 0.5 s and the third at 1.5 s.
  const CommandResult times =
      RunCommand(ShellQuote(ffprobe) + " -v error -select_streams v:0 -show_entries " +
                 "frame=pts_time -of csv=p=0 " + ShellQuote(movie));
  std::vector<double> starts;
  for (std::istringstream in(times.output); in;) {
    std::string line;
    std::getline(in, line);
    if (!line.empty() && std::isdigit(static_cast<unsigned char>(line[0])))
      starts.push_back(std::atof(line.c_str()));
  }
  ASSERT_EQ(starts.size(), 3u) << times.output;
  EXPECT_NEAR(starts[0], 0.0, 1e-3);
  EXPECT_NEAR(starts[1], 0.5, 1e-3);
  EXPECT_NEAR(starts[2], 1.5, 1e-3);
}

TEST_F(Mp4Road, QuickCreateAndJoinWriteMp4AndAnUnreadableSoundCostsNothing) {
  QUENDROLIX_REQUIRE_TOOL(ffprobe, "ffprobe");
  const std::string folder = dir.File("folder");
  fs::create_directories(folder);
  for (const std::string& picture : pictures)
    fs::copy_file(picture, fs::path(folder) / fs::path(picture).filename());
  const std::string quick = dir.File("quick.mp4");
  const CommandResult made = RunCli({"--home", home, "quick-create", folder, quick});
  ASSERT_EQ(made.status, 0) << made.errors;
  EXPECT_EQ(FfprobeStreams(quick, "codec_name"), "h264\n");
  EXPECT_EQ(FfmpegFrames(quick, "rgb24").size(), 3u * 320 * 240 * 3);

  // Join of two AVIs into an MP4: every frame of both.
  WriteFramesAvi(dir.File("a.avi"), 3, 32, 24, 0);
  WriteFramesAvi(dir.File("b.avi"), 2, 32, 24, 50);
  const std::string joined = dir.File("joined.mp4");
  ASSERT_EQ(RunCli({"--home", home, "join", dir.File("a.avi"), dir.File("b.avi"), joined}).status,
            0);
  EXPECT_EQ(FfprobeStreams(joined, "nb_read_frames", "v:0", true), "5\n");

  // A sound that is no sound: refused with a message, nothing written.
  WriteText(dir.File("noise.wav"), "this is not a sound");
  const std::string qdx = dir.File("bad.qdx");
  ASSERT_EQ(
      RunCli({"--home", home, "project", "new", qdx, "--sound", dir.File("noise.wav"), pictures[0]})
          .status,
      0);
  const CommandResult refused = RunCli({"--home", home, "create", qdx, dir.File("bad.mp4")});
  EXPECT_EQ(refused.status, 1);
  EXPECT_NE(refused.errors.find("Could not read the sound"), std::string::npos) << refused.errors;
  EXPECT_FALSE(fs::exists(dir.File("bad.mp4")));
  EXPECT_FALSE(fs::exists(dir.File("bad.mp4.part")));
}

}  // namespace
}  // namespace quendrolix
