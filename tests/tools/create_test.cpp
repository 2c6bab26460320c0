
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <filesystem>

#include "avi/avi_startup.h"
#include "avi/codec_options.h"
#include "platform/host/conversion_log.h"
#include "platform/host/user_prompts.h"
#include "platform/vfw/codec.h"
#include "project/startup_sequence.h"
#include "support/avi_fixtures.h"
#include "support/sound_fixtures.h"
#include "support/test_support.h"
#include "tools/create.h"
#include "tools/create_mpg.h"
#include "tools/quick_create.h"
#include "tools/unattended_build.h"

namespace quendrolix {
namespace {
namespace fs = std::filesystem;
using testing::TempDir;

struct Recorder : PlaybackRequest {
  std::vector<std::string> played;
  void Play(const std::string& path) override { played.push_back(path); }
};

LONG VideoLength(const std::string& path, DWORD* streams = nullptr) {
  ScopedAviFile file;
  if (AVIFileOpen(file.out(), path, OF_READ) != AVIERR_OK) return -1;
  AVIFILEINFO info{};
  AVIFileInfo(file.get(), &info, sizeof(info));
  if (streams) *streams = info.dwStreams;
  return static_cast<LONG>(info.dwLength);
}

std::vector<std::string> FilesIn(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename());
  return names;
}

const std::array<uint8_t, 3> kGce = {0x21, 0xF9, 0x04};

class CreateTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetCodecOptions();
    CodecOptions().fccHandler = kHandlerFullFrames;
    env.playback = &playback;
    env.frame = &frame;
  }
  void TearDown() override { ResetCodecOptions(); }
  std::string AddImage(const std::string& name, int seed, int count) {
    std::string path = testing::WritePatternBmp(dir.File(name), 16, 12, seed);
    doc.SetImagePath(name, path);
    doc.AddImage(name, -1, count);
    return path;
  }

  testing::ScopedProgramFolder home;
  TempDir dir;
  RecordingPrompts prompts;
  ScopedPrompts scopedPrompts{prompts};
  RecordingConversionLog log;
  ScopedConversionLog scopedLog{log};
  FrameList list;
  SettingsStore store;
  CFramewrightDoc doc{list, store};
  Recorder playback;
  MainFrameState frame;
  BuildEnvironment env;
};

TEST(OutputKindTest, NamesDecideTheRoad) {
  EXPECT_EQ(CreateOutputKind("clip.avi.mpg"), OutputKind::kAvi);
  EXPECT_EQ(CreateOutputKind("/x/CLIP.AVI"), OutputKind::kAvi);
  EXPECT_EQ(CreateOutputKind("clip.gif"), OutputKind::kGif);
  EXPECT_EQ(CreateOutputKind("clip.gif.avi"), OutputKind::kAvi);
  EXPECT_EQ(CreateOutputKind("clip.mpeg"), OutputKind::kMpg);
  EXPECT_EQ(CreateOutputKind("clip"), OutputKind::kMpg);
  EXPECT_EQ(CreateOutputKind("/web/Clip.MP4"), OutputKind::kMp4);
  EXPECT_EQ(CreateOutputKind("clip.mp4.avi"), OutputKind::kAvi);
  EXPECT_EQ(CreateOutputKind("clip.mp4.mpg"), OutputKind::kMpg);  // only the ending counts
  EXPECT_EQ(QuickCreateOutputKind("clip.mp4"), OutputKind::kMp4);
  EXPECT_EQ(UnattendedOutputKind("job.mp4"), OutputKind::kMp4);
  EXPECT_EQ(QuickCreateOutputKind("clip.gif"), OutputKind::kAvi);
  EXPECT_EQ(QuickCreateOutputKind("clip.MPEG"), OutputKind::kMpg);
  EXPECT_EQ(QuickCreateOutputKind("clip.mpg.avi"), OutputKind::kMpg);
  EXPECT_EQ(UnattendedOutputKind("job.mpg"), OutputKind::kMpg);
  EXPECT_EQ(UnattendedOutputKind("job.Mpeg"), OutputKind::kMpg);
  EXPECT_EQ(UnattendedOutputKind("job.avi.mpg"), OutputKind::kAvi);
  EXPECT_EQ(UnattendedOutputKind("job.mov"), OutputKind::kAvi);
}

TEST(MpgOptionsTest, FrameRatePositionsNameTheirRates) {
  struct Want {
    int position;
    uint32_t rate, scale;
    int code, replication;
  };
  for (const Want& w : {Want{0, 10, 1, 5, 3}, Want{1, 12, 1, 2, 2}, Want{2, 15, 1, 5, 2},
                        Want{3, 24000, 1001, 1, 1}, Want{4, 24, 1, 2, 1}, Want{5, 25, 1, 3, 1},
                        Want{6, 30000, 1001, 4, 1}, Want{7, 30, 1, 5, 1}}) {
    SCOPED_TRACE(w.position);
    MpgFrameRate r = MpgFrameRateForPosition(w.position, 25);
    EXPECT_EQ(r.rate, w.rate);
    EXPECT_EQ(r.scale, w.scale);
    EXPECT_EQ(r.code, w.code);
    EXPECT_EQ(r.replication, w.replication);
  }
  EXPECT_STREQ(MpgFrameRateForPosition(6, 25).label, "29.97");
  // "As the project" (and a position outside the list): the project's rate where MPEG-1
  // has it, 10 by replication, and the nearest rate for any other.
  struct Project {
    int position, fps;
    uint32_t rate, scale;
    int code, replication;
  };
  for (const Project& w :
       {Project{8, 25, 25, 1, 3, 1}, Project{8, 10, 10, 1, 5, 3}, Project{-1, 24, 24, 1, 2, 1},
        Project{9, 30, 30, 1, 5, 1}, Project{8, 50, 30, 1, 5, 1}, Project{8, 1, 10, 1, 5, 3}}) {
    SCOPED_TRACE(::testing::Message() << w.position << " at " << w.fps);
    MpgFrameRate r = MpgFrameRateForPosition(w.position, w.fps);
    EXPECT_EQ(r.rate, w.rate);
    EXPECT_EQ(r.scale, w.scale);
    EXPECT_EQ(r.code, w.code);
    EXPECT_EQ(r.replication, w.replication);
  }
  EXPECT_STREQ(MpgFrameRateForPosition(8, 20).label, "23.976");
  EXPECT_STREQ(MpgFrameRateForPosition(8, 18).label, "15");

  EXPECT_EQ(MpgAudioRateKbps(2, 7), 128);
  EXPECT_EQ(MpgAudioRateKbps(1, 7), 256);
  EXPECT_EQ(MpgAudioRateKbps(2, 13), 384);
  EXPECT_EQ(MpgAudioRateKbps(2, 14), 128);
  EXPECT_EQ(MpgAudioRateKbps(1, -1), 128);

  SettingsStore store;
  MpgOutputChoice fresh = MpgOutputChoice::FromStore(store);
  EXPECT_EQ(fresh.layer, 2);
  EXPECT_EQ(fresh.bitrateIndex, 7);
  EXPECT_EQ(fresh.fpsPosition, 8);  // "as the project"
  store.Parse("[MPEG]\nLayer=0\nBitrate=3\nFPS=6\n");
  MpgOutputChoice set = MpgOutputChoice::FromStore(store);
  EXPECT_EQ(set.layer, 1);
  EXPECT_EQ(set.bitrateIndex, 3);
  EXPECT_EQ(set.fpsPosition, 6);
}

TEST_F(CreateTest, AviWithSoundIsMergedPlayedAndLeavesNoTemporaryFile) {
  AddImage("a.bmp", 1, 1);
  AddImage("b.bmp", 2, 3);
  testing::WriteToneWav(dir.File("tone.wav"), 11025, 1, 0.5);
  doc.AttachSound(dir.File("tone.wav"));
  const std::string out = dir.File("clip.avi.mpg");
  BuildResult result = CreateFromProject(doc, out, env);
  EXPECT_TRUE(result.ok());
  EXPECT_EQ(result.kind, OutputKind::kAvi);
  DWORD streams = 0;
  EXPECT_EQ(VideoLength(out, &streams), 4);
  EXPECT_EQ(streams, 2u);
  EXPECT_EQ(playback.played, std::vector<std::string>{out});
  EXPECT_EQ(frame.lastOutputFile, out);
  EXPECT_TRUE(FilesIn(home.path()).empty()) << FilesIn(home.path()).front();
  EXPECT_EQ(prompts.statuses.front(), "Adding a.bmp...");
  EXPECT_NE(std::find(prompts.statuses.begin(), prompts.statuses.end(), "Merging..."),
            prompts.statuses.end());
  EXPECT_TRUE(prompts.messages.empty());
}

TEST_F(CreateTest, FailuresAreNeitherReportedAsSuccessNorPlayed) {
  // No images: the builder's error through "Codec error (%d): %s".
  const std::string out = dir.File("clip.avi");
  EXPECT_EQ(CreateFromProject(doc, out, env).status, BuildStatus::kFailed);
  EXPECT_EQ(prompts.messages.back(), "Codec error (1): No bitmaps specified");
  EXPECT_EQ(prompts.statuses.back(), "AVI stream not saved");
  EXPECT_EQ(frame.lastOutputFile, "");

  // A first image that cannot be loaded.
  doc.SetImagePath("gone.bmp", dir.File("gone.bmp"));
  doc.AddImage("gone.bmp", -1, 1);
  EXPECT_FALSE(CreateFromProject(doc, out, env).ok());
  EXPECT_EQ(prompts.messages[prompts.messages.size() - 2],
            "Could not load " + dir.File("gone.bmp"));
  EXPECT_EQ(prompts.messages.back(), "Codec error (0): Generic AVI error");

  // A sound that cannot be opened: refused with a message naming it before any picture is
  // coded, and no video is left.
  list.ResetToHeader();
  AddImage("a.bmp", 1, 2);
  doc.AttachSound(dir.File("missing.wav"));
  prompts.messages.clear();
  EXPECT_FALSE(CreateFromProject(doc, out, env).ok());
  ASSERT_EQ(prompts.messages.size(), 1u);
  EXPECT_NE(prompts.messages[0].find(dir.File("missing.wav")), std::string::npos);
  EXPECT_FALSE(fs::exists(out));
  EXPECT_TRUE(FilesIn(home.path()).empty());
  EXPECT_EQ(frame.lastOutputFile, "");
  EXPECT_TRUE(playback.played.empty());
}

TEST_F(CreateTest, GifRoadWritesTheProjectWithItsCountsAsDelays) {
  AddImage("a.bmp", 1, 2);
  AddImage("b.bmp", 2, 3);
  const std::string out = dir.File("clip.gif");
  BuildResult result = CreateFromProject(doc, out, env);
  ASSERT_TRUE(result.ok()) << (prompts.messages.empty() ? "" : prompts.messages.back());
  EXPECT_EQ(result.kind, OutputKind::kGif);
  std::vector<uint8_t> bytes = testing::ReadBytes(out);
  ASSERT_GT(bytes.size(), 32u);
  EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 6), "GIF89a");
  // The graphic control blocks: 2 and 3 frames at the project's 10 frames/s.
  auto gce = std::search(bytes.begin(), bytes.end(), kGce.begin(), kGce.end());
  ASSERT_NE(gce, bytes.end());
  EXPECT_EQ(gce[4] | gce[5] << 8, 20);
  auto second = std::search(gce + 1, bytes.end(), kGce.begin(), kGce.end());
  ASSERT_NE(second, bytes.end());
  EXPECT_EQ(second[4] | second[5] << 8, 30);
  EXPECT_EQ(frame.lastOutputFile, out);
  EXPECT_EQ(playback.played, std::vector<std::string>{out});

  // A first image that cannot be loaded is left out and named; the rest is made.
  doc.SetImagePath("a.bmp", dir.File("gone.bmp"));
  const std::string other = dir.File("other.gif");
  prompts.messages.clear();
  BuildResult partial = CreateFromProject(doc, other, env);
  EXPECT_TRUE(partial.incomplete());
  ASSERT_EQ(partial.leftOut.size(), 1u);
  EXPECT_EQ(partial.leftOut[0].path, dir.File("gone.bmp"));
  EXPECT_TRUE(fs::exists(other));
  ASSERT_FALSE(prompts.messages.empty());
  EXPECT_NE(prompts.messages.back().find(dir.File("gone.bmp")), std::string::npos);

  // With the fit "none" (the old rule) a first image that cannot be loaded makes nothing
  // and leaves no output file named.
  doc.output.fit = PictureFit::kNone;
  const std::string none = dir.File("none.gif");
  prompts.messages.clear();
  EXPECT_FALSE(CreateFromProject(doc, none, env).ok());
  EXPECT_FALSE(fs::exists(none));
  EXPECT_FALSE(prompts.messages.empty());
  EXPECT_EQ(frame.lastOutputFile, "");
}

TEST_F(CreateTest, MpgRoadWritesAVideoStreamWithTheChosenRate) {
  AddImage("a.bmp", 1, 1);
  AddImage("b.bmp", 2, 2);
  store.SetInteger("MPEG", "FPS", 2);  // "15": code 5 (30 frames/s), each frame twice
  const std::string out = dir.File("clip.mpg");
  bool shown = false;
  std::string logFile;
  env.showConversionLog = [&](bool on) { shown = on; };
  env.conversionLogFile = [&](const std::string& f) { logFile = f; };
  EXPECT_TRUE(CreateFromProject(doc, out, env).ok()) << log.Joined();
  EXPECT_FALSE(shown);
  EXPECT_EQ(logFile, out);
  std::vector<uint8_t> bytes = testing::ReadBytes(out);
  ASSERT_GT(bytes.size(), 8u);
  EXPECT_EQ(bytes[3], 0xB3);      // a video elementary stream: sequence header first
  EXPECT_EQ(bytes[7] & 0x0F, 5);  // frame_rate_code 5
  // The engine is asked for the label's 15 frames/s and replicates each frame itself.
  EXPECT_TRUE(log.HasLine("Frame rate: 15 FPS")) << log.Joined();
  EXPECT_TRUE(log.HasLine("Frame rate with replication: 30 FPS")) << log.Joined();
  // 0.1 s and 0.2 s of pictures at the project's 10 frames/s: 2 and 3 frames of 1/15 s
  // (ends at 0.133 and 0.333 s, the nearest to 0.1 and 0.3), each coded twice.
  EXPECT_TRUE(log.HasLine("Total number of frames: 10")) << log.Joined();
  EXPECT_EQ(playback.played, std::vector<std::string>{out});
}

TEST_F(CreateTest, QuickCreateTakesOnlyThePictureFilesOfTheFolder) {
  testing::WritePatternBmp(dir.File("B.bmp"), 16, 12, 1);
  testing::WritePatternBmp(dir.File("a.bmp"), 16, 12, 2);
  testing::WritePatternBmp(dir.File("c.bmp"), 16, 12, 3);
  // What a desktop leaves in a folder of pictures: none of it may break the build.
  testing::WriteText(dir.File("b.txt"), "not a picture");
  testing::WriteText(dir.File(".directory"), "[Dolphin]\n");
  testing::WritePatternBmp(dir.File(".hidden.bmp"), 16, 12, 4);
  fs::create_directory(dir.File("sub.bmp"));
  fs::create_symlink(dir.File("gone.bmp"), dir.File("dangling.bmp"));
  EXPECT_EQ(QuickCreateListing(dir.path().string()),
            (std::vector<std::string>{"B.bmp", "a.bmp", "c.bmp"}));

  store.SetInteger("General", "Replicate", 3);
  TempDir outDir;
  const std::string out = outDir.File("quick.avi");
  BuildResult result = QuickCreate(doc, {dir.path().string(), "", out}, env);
  EXPECT_TRUE(result.ok());
  EXPECT_TRUE(prompts.messages.empty()) << prompts.messages.front();
  EXPECT_EQ(VideoLength(out), 9);  // three pictures, three frames each
  EXPECT_EQ(playback.played, std::vector<std::string>{out});
  for (const std::string& s : prompts.statuses) EXPECT_EQ(s.rfind("Adding", 0), std::string::npos);

  TempDir empty;
  EXPECT_EQ(QuickCreate(doc, {empty.path().string(), "", out}, env).status, BuildStatus::kNoImages);
  EXPECT_EQ(prompts.messages.back(), "No images found");
}

TEST_F(CreateTest, UnattendedBuildFollowsTheOutputName) {
  AddImage("a.bmp", 1, 2);
  doc.outputFile = dir.File("job.avi");
  EXPECT_TRUE(BuildUnattended(doc, env).ok());
  EXPECT_EQ(VideoLength(doc.outputFile), 2);
  EXPECT_TRUE(playback.played.empty());  // the program closes instead

  doc.outputFile = dir.File("job.mpg");
  BuildResult result = BuildUnattended(doc, env);
  EXPECT_TRUE(result.ok()) << log.Joined();
  EXPECT_EQ(result.kind, OutputKind::kMpg);
  EXPECT_EQ(testing::ReadBytes(doc.outputFile).at(3), 0xB3);
}

TEST_F(CreateTest, StartupHooksReadTheCodecFileAndPrepareTheLogo) {
  // AVI.codec with a compressor state, and the logo of section "Logo".
  AVICOMPRESSOPTIONS saved = CodecOptionsStartValues();
  saved.fccHandler = kHandlerMjpeg;
  saved.dwQuality = 7500;
  saved.parms = {1, 2, 3};
  ASSERT_TRUE(SaveCodecOptions(home.File("AVI.codec"), saved));
  const std::string logo = testing::WritePatternBmp(dir.File("logo.bmp"), 8, 8, 4);
  testing::WriteText(home.File("Clipora.ini"), "[Logo]\nsLogoFile=" + logo + "\n");

  ResetCodecOptions();
  LogoPictures pictures;
  StartupHooks hooks;
  InstallAviStartupHooks(hooks, pictures);
  ViewSettings view;
  RunStartupSequence(doc, view, 32, hooks);
  EXPECT_EQ(CodecOptions().fccHandler, kHandlerMjpeg);
  EXPECT_EQ(CodecOptions().dwQuality, 7500u);
  EXPECT_EQ(CodecOptions().parms, (std::vector<uint8_t>{1, 2, 3}));
  EXPECT_TRUE(pictures.logoBitmap.IsValid());

  // Without a state, from the file that "Codec" names.
  saved.fccHandler = kHandlerRle;
  saved.parms.clear();
  ASSERT_TRUE(SaveCodecOptions(dir.File("other.codec"), saved));
  testing::WriteText(home.File("Clipora.ini"),
                     "[General]\nCodec=" + dir.File("other.codec") + "\n");
  FrameList list2;
  SettingsStore store2;
  CFramewrightDoc doc2(list2, store2);
  RunStartupSequence(doc2, view, 32, hooks);
  EXPECT_EQ(CodecOptions().fccHandler, kHandlerRle);
  EXPECT_TRUE(CodecOptions().parms.empty());
}

}  // namespace
}  // namespace quendrolix
