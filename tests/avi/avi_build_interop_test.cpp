// What other programs make of the movies we build: ffprobe's counts and durations, and
// ffmpeg's decoding of every frame and of the sound.
#include <gtest/gtest.h>

#include <filesystem>

#include "avi/avi_builder.h"
#include "avi/codec_options.h"
#include "image/cbmp.h"
#include "platform/host/user_prompts.h"
#include "platform/vfw/codec.h"
#include "support/avi_fixtures.h"
#include "support/image_fixtures.h"
#include "support/sound_fixtures.h"
#include "support/test_support.h"
#include "support/vfw_fixtures.h"
#include "tools/create.h"
#include "tools/create_mpg.h"

namespace quendrolix {
namespace {
namespace fs = std::filesystem;
using namespace testing;

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

// Three images held for 1, 3 and 2 frames (32 wide: MS Video 1 codes whole 4x4 blocks),
// with an opaque logo partly off the picture.
class AviBuildInteropTest : public ::testing::Test {
 protected:
  void SetUp() override {
    images = {WritePatternBmp(dir.File("a.bmp"), 32, 20, 1),
              WritePatternBmp(dir.File("b.bmp"), 32, 20, 2),
              WritePatternBmp(dir.File("c.bmp"), 32, 20, 3)};
    logo.settings = LogoSettings{};
    logo.settings.sLogoFile = WritePatternBmp(dir.File("logo.bmp"), 8, 8, 9);
    logo.settings.nXPos = 27;
    logo.settings.nYPos = 3;
    PrepareLogo(logo.settings, pictures);
    logo.pictures = &pictures;
  }
  std::string Build(const std::string& name, int depth, FOURCC handler) {
    AVICOMPRESSOPTIONS options = OptionsFor(handler, 10000, 20);
    AviBuilder builder(logo, &options);
    builder.SetRate(10);
    builder.SetDepth(depth);
    for (size_t i = 0; i < images.size(); ++i) builder.Add(images[i], counts[i]);
    const std::string out = dir.File(name);
    EXPECT_TRUE(builder.Write(out)) << builder.errorCode();
    return out;
  }
  std::vector<uint8_t> ExpectedFrames(int depth) {
    std::vector<uint8_t> all;
    for (size_t i = 0; i < images.size(); ++i) {
      std::vector<uint8_t> rgb = ExpectedFrameRgb(images[i], logo, depth);
      if (depth == 16) rgb = Rgb555Of(rgb);
      for (unsigned c = 0; c < counts[i]; ++c) all.insert(all.end(), rgb.begin(), rgb.end());
    }
    return all;
  }

  TempDir dir;
  RecordingPrompts prompts;
  ScopedPrompts scoped{prompts};
  std::vector<std::string> images;
  std::vector<unsigned> counts = {1, 3, 2};
  LogoPictures pictures;
  FrameComposer logo;
};

TEST_F(AviBuildInteropTest, FullFramesDecodeToTheComposedPixels) {
  QUENDROLIX_REQUIRE_TOOL(ffmpeg, "ffmpeg");
  QUENDROLIX_REQUIRE_TOOL(ffprobe, "ffprobe");
  for (int depth : {24, 16, 8}) {
    SCOPED_TRACE(depth);
    const std::string out =
        Build("full" + std::to_string(depth) + ".avi", depth, kHandlerFullFrames);
    EXPECT_EQ(FfprobeStreams(out, "nb_read_frames", "v:0", true), "6\n");
    EXPECT_NEAR(FfprobeDuration(out), 0.6, 1e-6);
    std::vector<uint8_t> decoded = FfmpegFrames(out, depth == 16 ? "rgb555le" : "rgb24");
    std::vector<uint8_t> expected = ExpectedFrames(depth);
    ASSERT_EQ(decoded.size(), expected.size());
    EXPECT_TRUE(decoded == expected);
  }
}

TEST_F(AviBuildInteropTest, CompressorsWriteWhatFfmpegDecodesWithoutComplaint) {
  QUENDROLIX_REQUIRE_TOOL(ffmpeg, "ffmpeg");
  struct Case {
    FOURCC handler;
    int depth;
  };
  for (const Case& c : {Case{kHandlerVideo1, 16}, Case{kHandlerVideo1, 8}, Case{kHandlerRle, 8},
                        Case{kHandlerMjpeg, 24}}) {
    SCOPED_TRACE(FourCCText(c.handler) + " " + std::to_string(c.depth));
    const std::string out =
        Build(FourCCText(c.handler) + std::to_string(c.depth) + ".avi", c.depth, c.handler);
    EXPECT_EQ(FfmpegDecodeErrors(out), "");
    EXPECT_EQ(FfmpegFrames(out, "rgb24").size(), 6u * 32 * 20 * 3);
  }
  // RLE is lossless: every frame is the palette mapping.
  const std::string rle = dir.File("mrle8.avi");
  EXPECT_TRUE(FfmpegFrames(rle, "rgb24") == ExpectedFrames(8));
}

TEST_F(AviBuildInteropTest, SoundIsMergedSampleForSampleAndTheVideoUnchanged) {
  QUENDROLIX_REQUIRE_TOOL(ffmpeg, "ffmpeg");
  ScopedProgramFolder home;
  ResetCodecOptions();
  FrameList list;
  SettingsStore store;
  CFramewrightDoc doc(list, store);
  for (size_t i = 0; i < images.size(); ++i) {
    std::string name = DisplayNameOf(images[i]);
    doc.SetImagePath(name, images[i]);
    doc.AddImage(name, -1, static_cast<int>(counts[i]));
  }
  doc.logo = logo.settings;
  const std::vector<uint8_t> samples = WritePcmWav(dir.File("s.wav"), 22050, 2, 16, 13230, 5);
  BuildEnvironment env;
  env.logo = &pictures;
  ASSERT_TRUE(CreateFromProject(doc, dir.File("silent.avi"), env).ok());
  doc.AttachSound(dir.File("s.wav"));
  ASSERT_TRUE(CreateFromProject(doc, dir.File("sound.avi"), env).ok());

  EXPECT_TRUE(FfmpegAudioS16(dir.File("sound.avi")) == samples);
  std::vector<uint8_t> silent = FfmpegFrames(dir.File("silent.avi"), "rgb24");
  EXPECT_FALSE(silent.empty());
  EXPECT_TRUE(FfmpegFrames(dir.File("sound.avi"), "rgb24") == silent);
  EXPECT_TRUE(fs::is_empty(home.path()));
  ResetCodecOptions();
}

TEST(AviBuildCliInteropTest, UnattendedBuildsOfAnAviAndAnMpgWithSound) {
  QUENDROLIX_REQUIRE_TOOL(ffprobe, "ffprobe");
  TempDir dir;
  std::string images;
  for (int i = 0; i < 3; ++i) {
    std::string path = WritePatternBmp(dir.File("i" + std::to_string(i) + ".bmp"), 32, 24, i);
    images += std::to_string(i) + "=" + path + ",2\n";
  }
  WriteToneWav(dir.File("tone.wav"), 22050, 1, 0.6);
  for (const char* name : {"job.avi", "job.mpg"}) {
    SCOPED_TRACE(name);
    const std::string out = dir.File(name);
    WriteText(dir.File("job.ini"), "[General]\nAuto=1\nFPS=10\nSound=" + dir.File("tone.wav") +
                                       "\nOutput=" + out + "\n[Images]\n" + images);
    CommandResult r = RunCli({"--home", dir.File("home"), "run", dir.File("job.ini")});
    EXPECT_EQ(r.status, 0) << r.errors;
    EXPECT_EQ(Lines(FfprobeStreams(out, "codec_type")),
              (std::vector<std::string>{"video", "audio"}))
        << r.output << r.errors;
  }
  EXPECT_EQ(Lines(FfprobeStreams(dir.File("job.mpg"), "codec_name")),
            (std::vector<std::string>{"mpeg1video", "mp2"}));
}

TEST(AviBuildCliInteropTest, CreateQuickCreateAndMergeCommands) {
  QUENDROLIX_REQUIRE_TOOL(ffprobe, "ffprobe");
  TempDir dir;
  fs::create_directory(dir.File("pics"));
  std::vector<std::string> images;
  for (int i = 0; i < 3; ++i)
    images.push_back(WritePatternBmp(dir.File("pics/p" + std::to_string(i) + ".bmp"), 32, 24, i));
  WriteToneWav(dir.File("tone.wav"), 11025, 1, 0.4);
  const std::string home = dir.File("home");
  CommandResult r = RunCli({"--home", home, "project", "new", dir.File("p.qdx"), "--bpp", "8",
                            images[0] + ",2", images[1] + ",1"});
  ASSERT_EQ(r.status, 0) << r.errors;

  r = RunCli({"--home", home, "create", dir.File("p.qdx"), dir.File("p.avi"), "--codec", "mrle"});
  EXPECT_EQ(r.status, 0) << r.errors;
  EXPECT_EQ(r.output, dir.File("p.avi") + "\n");
  EXPECT_EQ(FfprobeStreams(dir.File("p.avi"), "codec_name,nb_frames"), "msrle,3\n");

  // A GIF: one image per row, each shown for its count at the project's 10 frames/s.
  r = RunCli({"--home", home, "create", dir.File("p.qdx"), dir.File("p.gif")});
  EXPECT_EQ(r.status, 0) << r.errors;
  EXPECT_EQ(FfprobeStreams(dir.File("p.gif"), "codec_name,nb_read_frames", "", true), "gif,2\n");
  EXPECT_NEAR(FfprobeDuration(dir.File("p.gif")), 0.3, 0.005);
  // At 24 frames/s a frame is 4.17 hundredths: held 4, 4, then 5 (ends at 4, 8 and 13,
  // the nearest to 4.17, 8.33 and 12.5), so three frames last 0.13 s, not 0.12.
  r = RunCli({"--home", home, "project", "new", dir.File("q.qdx"), "--fps", "24", images[0] + ",1",
              images[1] + ",1", images[2] + ",1"});
  ASSERT_EQ(r.status, 0) << r.errors;
  r = RunCli({"--home", home, "create", dir.File("q.qdx"), dir.File("q.gif")});
  EXPECT_EQ(r.status, 0) << r.errors;
  EXPECT_NEAR(FfprobeDuration(dir.File("q.gif")), 0.13, 0.005);
  EXPECT_EQ(
      RunCli({"--home", home, "create", dir.File("p.qdx"), dir.File("x.avi"), "--codec", "zzzz"})
          .status,
      2);

  r = RunCli({"--home", home, "quick-create", dir.File("pics"), dir.File("q.mpg"), "--sound",
              dir.File("tone.wav")});
  EXPECT_EQ(r.status, 0) << r.errors;
  EXPECT_EQ(Lines(FfprobeStreams(dir.File("q.mpg"), "codec_type")),
            (std::vector<std::string>{"video", "audio"}));
  // Nothing of the way there is left beside the output or the sound.
  for (const auto& e : fs::directory_iterator(dir.path()))
    EXPECT_TRUE(e.path().filename() != "tone.mp2" &&
                e.path().filename().string().rfind("q.mpgg", 0) == std::string::npos)
        << e.path();

  r = RunCli({"--home", home, "merge-avi", dir.File("p.avi"), dir.File("tone.wav"), dir.File("m")});
  EXPECT_EQ(r.status, 0) << r.errors;
  EXPECT_EQ(Lines(FfprobeStreams(dir.File("m.avi"), "codec_type")),
            (std::vector<std::string>{"video", "audio"}));
  r = RunCli(
      {"--home", home, "merge-avi", dir.File("none.avi"), dir.File("tone.wav"), dir.File("n.avi")});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.errors.find("Codec error: please restart the program"), std::string::npos);
}

}  // namespace
}  // namespace quendrolix

namespace quendrolix {
namespace {

TEST(AviBuildCliInteropTest, MpgFrameRatePositionsGiveTheRatesTheyName) {
  QUENDROLIX_REQUIRE_TOOL(ffprobe, "ffprobe");
  testing::TempDir dir;
  std::string images;
  for (int i = 0; i < 2; ++i) {
    std::string path =
        testing::WritePatternBmp(dir.File("i" + std::to_string(i) + ".bmp"), 32, 32, i);
    images += std::to_string(i) + "=" + path + "," + std::to_string(i + 1) + "\n";
  }
  struct Case {
    int position;
    const char* rate;
    const char* frames;
  };
  // The project's 10 frames/s (0.1 s and 0.2 s of pictures) kept at each rate. "10": the
  // engine's own 30 frames/s with every frame three times; "12": 24 frames/s, twice, the
  // pictures held for 1 and 3 frames of 1/12 s (ends at 0.083 and 0.333 s, the nearest to
  // 0.1 and 0.3); "25": 3 and 5 frames (ends 0.12 and 0.32 s).
  for (const Case& c : {Case{0, "30/1", "9"}, Case{1, "24/1", "8"}, Case{5, "25/1", "8"}}) {
    SCOPED_TRACE(c.position);
    testing::WriteText(dir.File("p.ini"),
                       "[MPEG]\nFPS=" + std::to_string(c.position) + "\n[Images]\n" + images);
    const std::string out = dir.File("p" + std::to_string(c.position) + ".mpg");
    testing::CommandResult r =
        testing::RunCli({"--home", dir.File("home"), "create", dir.File("p.ini"), out});
    ASSERT_EQ(r.status, 0) << r.errors;
    EXPECT_EQ(testing::FfprobeStreams(out, "r_frame_rate,nb_read_frames", "v:0", true),
              std::string(c.rate) + "," + c.frames + "\n");
  }
}

}  // namespace
}  // namespace quendrolix
