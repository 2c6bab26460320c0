// The frame tools against ffmpeg and ImageMagick, driven through quendrolix-cli: extracted
// bitmaps show what ffmpeg decodes, extracted sound is the movie's sound, joined and
// converted movies play with the frames they should have.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/avi_fixtures.h"
#include "support/image_fixtures.h"
#include "support/image_tools_fixtures.h"
#include "support/test_support.h"
#include "support/vfw_fixtures.h"

#include "platform/vfw/codec.h"

namespace quendrolix {
namespace {
using namespace testing;
namespace fs = std::filesystem;

int FrameCount(const std::string& path) {
  return std::atoi(FfprobeStreams(path, "nb_read_frames", "v:0", true).c_str());
}

TEST(FrameToolsInterop, ExtractedBitmapsShowTheFramesFfmpegDecodes) {
  QUENDROLIX_REQUIRE_TOOL(ffmpeg, "ffmpeg");
  if (!fs::exists(ImageMagickConvert())) GTEST_SKIP() << "ImageMagick is not installed";
  TempDir dir;
  struct Case {
    const char* name;
    int bits;
    FOURCC handler;
  } cases[] = {{"raw8.avi", 8, 0}, {"raw24.avi", 24, 0}, {"video1.avi", 16, kHandlerVideo1}};
  for (const Case& c : cases) {
    std::vector<HDIB> frames;
    for (int t = 0; t < 4; ++t) frames.push_back(MakeTestFrame(24, 16, c.bits, t));
    const std::string avi = dir.File(c.name);
    ASSERT_EQ(WriteTestAvi(avi, frames, OptionsFor(c.handler)), AVIERR_OK) << c.name;
    const std::string out = dir.File(std::string(c.name) + ".frames");
    CommandResult r = RunCli({"--home", dir.File("home"), "extract", avi, "--dir", out});
    ASSERT_EQ(r.status, 0) << r.errors;
    EXPECT_EQ(r.output, "4\n");
    const std::vector<uint8_t> decoded = FfmpegFrames(avi, "rgb24");
    const size_t frameBytes = 24 * 16 * 3;
    ASSERT_EQ(decoded.size(), 4 * frameBytes) << c.name;
    for (int t = 0; t < 4; ++t) {
      std::vector<uint8_t> rgb;
      int width = 0, height = 0;
      const std::string bmp = out + "/Img000" + std::to_string(t + 1) + ".bmp";
      ASSERT_TRUE(ImageMagickRgb(bmp, rgb, width, height)) << bmp;
      ASSERT_EQ(width, 24);
      ASSERT_EQ(height, 16);
      const std::vector<uint8_t> expected(decoded.begin() + t * frameBytes,
                                          decoded.begin() + (t + 1) * frameBytes);
      // 5-bit channels are widened a little differently by the two programs.
      EXPECT_LE(MaxChannelDifference(rgb, expected), c.bits == 16 ? 7 : 0) << bmp;
    }
  }
}

TEST(FrameToolsInterop, ExtractedSoundHoldsTheMoviesSamples) {
  QUENDROLIX_REQUIRE_TOOL(ffmpeg, "ffmpeg");
  TempDir dir;
  ASSERT_FALSE(WriteFramesAviWithSound(dir.File("talk.avi"), 5, 16, 16).empty());
  CommandResult r = RunCli(
      {"--home", dir.File("home"), "extract-sound", dir.File("talk.avi"), dir.File("talk.wav")});
  ASSERT_EQ(r.status, 0) << r.errors;
  const std::vector<uint8_t> fromMovie = FfmpegAudioS16(dir.File("talk.avi"));
  ASSERT_EQ(fromMovie.size(), 5u * 800 * 2);
  EXPECT_EQ(FfmpegAudioS16(dir.File("talk.wav")), fromMovie);

  r = RunCli({"--home", dir.File("home"), "extract-sound", dir.File("talk.wav.missing"),
              dir.File("x.wav")});
  EXPECT_EQ(r.status, 1);
  EXPECT_FALSE(fs::exists(dir.File("x.wav")));
}

TEST(FrameToolsInterop, JoinedAndConvertedMoviesPlayWithTheirFrames) {
  QUENDROLIX_REQUIRE_TOOL(ffprobe, "ffprobe");
  TempDir dir;
  const std::string home = dir.File("home");
  WriteFramesAvi(dir.File("five.avi"), 5, 32, 16, 0);
  WriteFramesAvi(dir.File("three.avi"), 3, 32, 16, 20);
  CommandResult r = RunCli(
      {"--home", home, "join", dir.File("five.avi"), dir.File("three.avi"), dir.File("both.avi")});
  ASSERT_EQ(r.status, 0) << r.errors;
  EXPECT_EQ(r.output, dir.File("both.avi") + "\n");
  EXPECT_EQ(FrameCount(dir.File("both.avi")), 8);
  EXPECT_EQ(FfmpegDecodeErrors(dir.File("both.avi")), "");
  EXPECT_TRUE(fs::is_empty(home + "/Temp"));

  r = RunCli(
      {"--home", home, "join", dir.File("five.avi"), dir.File("three.avi"), dir.File("both.mpg")});
  ASSERT_EQ(r.status, 0) << r.errors;
  EXPECT_EQ(FfprobeStreams(dir.File("both.mpg"), "codec_name", "v:0"), "mpeg1video\n");
  EXPECT_GE(FrameCount(dir.File("both.mpg")), 8);
  EXPECT_EQ(FfmpegDecodeErrors(dir.File("both.mpg")), "");

  WriteMultiPageTiff(dir.File("scan.tif"), 4, 32, 16);
  r = RunCli({"--home", home, "tiff2movie", dir.File("scan.tif"), dir.File("scan.avi")});
  ASSERT_EQ(r.status, 0) << r.errors;
  EXPECT_EQ(FrameCount(dir.File("scan.avi")), 4);

  r = RunCli(
      {"--home", home, "join", dir.File("five.avi"), dir.File("none.avi"), dir.File("no.avi")});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.errors.find("Cannot find " + dir.File("none.avi")), std::string::npos);
  // An input that is no movie: the tools themselves say nothing, the console does.
  testing::WriteText(dir.File("junk.avi"), "not a movie");
  r = RunCli(
      {"--home", home, "join", dir.File("junk.avi"), dir.File("three.avi"), dir.File("no.avi")});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.errors.find("no frames could be read"), std::string::npos) << r.errors;
  EXPECT_FALSE(fs::exists(dir.File("no.avi")));
}

TEST(FrameToolsInterop, MorphAndExtractFillProjectsTheCliCanShow) {
  TempDir dir;
  const std::string home = dir.File("home");
  WritePatternBmp(dir.File("a.bmp"), 12, 8, 1);
  WritePatternBmp(dir.File("b.bmp"), 12, 8, 2);
  fs::create_directory(dir.File("morph"));
  CommandResult r =
      RunCli({"--home", home, "morph", dir.File("a.bmp"), dir.File("b.bmp"), "--steps", "2",
              "--dir", dir.File("morph"), "--new", dir.File("m.qdx")});
  ASSERT_EQ(r.status, 0) << r.errors;
  EXPECT_EQ(r.output.substr(r.output.rfind('/') + 1), "Img0004.bmp\n");
  WriteFramesAvi(dir.File("clip.avi"), 2, 12, 8);
  r = RunCli({"--home", home, "extract", dir.File("clip.avi"), "--dir", dir.File("morph"),
              "--start", "5", "--add", dir.File("m.qdx")});
  ASSERT_EQ(r.status, 0) << r.errors;
  r = RunCli({"--home", home, "project", "show", dir.File("m.qdx")});
  ASSERT_EQ(r.status, 0) << r.errors;
  for (int n = 1; n <= 6; ++n)
    EXPECT_NE(r.output.find("Img000" + std::to_string(n) + ".bmp"), std::string::npos) << n;

  r = RunCli({"--home", home, "extract", dir.File("a.bmp")});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.errors.find("Unsupported format"), std::string::npos);
  r = RunCli({"--home", home, "morph", dir.File("gone.bmp"), dir.File("b.bmp")});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.errors.find(dir.File("gone.bmp") + " not found"), std::string::npos) << r.errors;
  r = RunCli({"--home", home, "morph", dir.File("a.bmp"), dir.File("b.bmp"), "--dir",
              dir.File("nowhere")});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.errors.find("does not exist"), std::string::npos) << r.errors;
}

}  // namespace
}  // namespace quendrolix
