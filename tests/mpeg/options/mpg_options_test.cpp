// The rules of "MPG Output Options" and "Convert AVI to MPG", without a window.
#include <gtest/gtest.h>

#include <filesystem>

#include "mpeg/options/avi_to_mpg.h"
#include "mpeg/options/mpg_output_options.h"
#include "mpeg/video/engine_services.h"
#include "platform/host/conversion_log.h"
#include "project/settings_store.h"
#include "support/mpeg_video_fixtures.h"
#include "support/test_support.h"

namespace quendrolix {
namespace {
using testing::TempDir;

TEST(MpgOutputOptionsTest, FreshInstallationShowsLayerTwoAt128AndTheProjectsRate) {
  SettingsStore store;
  MpgOutputOptions options = MpgOutputOptions::FromStore(store);
  EXPECT_EQ(options.layerChoice, 1);
  EXPECT_EQ(options.BitRates().at(options.bitRateIndex), "128");
  EXPECT_EQ(MpgOutputOptions::FrameRateList().at(options.frameRateIndex), "as the project");
  // Stored positions keep their meaning: 3 is still 23.976.
  EXPECT_EQ(MpgOutputOptions::FrameRateList().at(3), "23.976");
  EXPECT_EQ(options.AudioLayer(), 2);
  EXPECT_EQ(options.AudioRateKbps(), 128);

  // The position carries over to the other layer's list.
  options.ChooseLayer(0);
  EXPECT_EQ(options.BitRates().at(options.bitRateIndex), "256");
  EXPECT_EQ(options.AudioLayer(), 1);
  EXPECT_EQ(options.AudioRateKbps(), 256);
  options.ChooseLayer(7);  // not a radio value
  EXPECT_EQ(options.layerChoice, 0);
  ASSERT_EQ(MpgOutputOptions::BitRateList(0).size(), 14u);
  ASSERT_EQ(MpgOutputOptions::BitRateList(1).size(), 14u);
  EXPECT_EQ(MpgOutputOptions::BitRateList(0).back(), "448");
  EXPECT_EQ(MpgOutputOptions::BitRateList(1).back(), "384");
}

TEST(MpgOutputOptionsTest, OkWritesTheThreeKeysAndSavesAtOnce) {
  TempDir dir;
  const std::string ini = dir.File("Clipora.ini");
  testing::WriteText(ini, "[General]\r\nFPS=15\r\n[MPEG]\r\nLayer=0\r\nBitrate=3\r\n");
  SettingsStore store;
  ASSERT_TRUE(store.Load(ini));
  MpgOutputOptions options = MpgOutputOptions::FromStore(store);
  EXPECT_EQ(options.layerChoice, 0);
  EXPECT_EQ(options.bitRateIndex, 3);
  EXPECT_EQ(options.frameRateIndex, 8);  // missing: the default, "as the project"
  EXPECT_EQ(options.AudioRateKbps(), 128);

  options.ChooseLayer(1);
  options.bitRateIndex = 12;
  options.frameRateIndex = 6;
  EXPECT_TRUE(options.Accept(store));
  EXPECT_EQ(testing::ReadText(ini),
            "[General]\r\nFPS=15\r\n[MPEG]\r\nLayer=1\r\nBitrate=12\r\nFPS=6\r\n"
            "VideoBitrate=0\r\n");
  MpgOutputOptions again = MpgOutputOptions::FromStore(store);
  EXPECT_EQ(again.AudioRateKbps(), 320);

  // A hand-edited file: values outside the lists are shown as stored (nothing selected)
  // but never written back as such.
  testing::WriteText(ini, "[MPEG]\r\nLayer=5\r\nBitrate=-1\r\nFPS=40\r\n");
  ASSERT_TRUE(store.Load(ini));
  MpgOutputOptions odd = MpgOutputOptions::FromStore(store);
  EXPECT_EQ(odd.bitRateIndex, -1);
  EXPECT_EQ(odd.AudioLayer(), 2);
  EXPECT_EQ(odd.AudioRateKbps(), 128);
  EXPECT_TRUE(odd.Accept(store));
  EXPECT_EQ(testing::ReadText(ini),
            "[MPEG]\r\nLayer=1\r\nBitrate=7\r\nFPS=8\r\nVideoBitrate=0\r\n");
}

TEST(MpgOutputOptionsTest, VideoBitRateIsAutomaticUnlessChosen) {
  SettingsStore store;
  MpgOutputOptions options = MpgOutputOptions::FromStore(store);
  EXPECT_EQ(options.VideoRateText(), "automatic");
  VideoCoding coding = options.ProjectVideoCoding();
  EXPECT_EQ(coding.videoRateKbps, kAutomaticVideoRate);
  EXPECT_TRUE(coding.slideshow);

  EXPECT_TRUE(options.SetVideoRateText("2500"));
  EXPECT_EQ(options.ProjectVideoCoding().videoRateKbps, 2500);
  for (const char* bad : {"31", "104857", "-5", "1.5", "fast", ""}) {
    EXPECT_FALSE(options.SetVideoRateText(bad)) << bad;
    EXPECT_EQ(options.videoRateKbps, 2500) << bad;
  }
  EXPECT_TRUE(options.SetVideoRateText("104856"));
  EXPECT_TRUE(options.SetVideoRateText("auto"));
  EXPECT_EQ(options.videoRateKbps, 0);

  // A value edited by hand that is no rate reads as automatic; OK writes what it shows.
  store.SetString("MPEG", "VideoBitrate", "lots");
  EXPECT_EQ(MpgOutputOptions::FromStore(store).videoRateKbps, 0);
  store.SetString("MPEG", "VideoBitrate", "900");
  options = MpgOutputOptions::FromStore(store);
  EXPECT_EQ(options.VideoRateText(), "900");
  options.videoRateKbps = 5;  // out of range: written as automatic
  options.Accept(store);
  std::string stored;
  EXPECT_TRUE(store.GetString("MPEG", "VideoBitrate", stored));
  EXPECT_EQ(stored, "0");
}

TEST(AviToMpgRequestTest, ChoosingFilesAndFoldersAndNamingOutputs) {
  AviToMpgRequest request;
  EXPECT_EQ(request.InputCaption(), "");
  EXPECT_FALSE(request.CanStart());

  SettingsStore store;
  DialogFolders folders(store);
  request.FilesChosen({"/clips/b.avi", "/clips/C.avi", "/clips/a.avi"}, &folders);
  EXPECT_EQ(request.inputFiles,
            (std::vector<std::string>{"/clips/C.avi", "/clips/a.avi", "/clips/b.avi"}));
  EXPECT_EQ(request.InputCaption(), "Number of files selected: 3");
  EXPECT_TRUE(request.CanStart());
  std::string remembered;
  EXPECT_TRUE(store.GetString("General", "ImportPath", remembered));
  EXPECT_EQ(remembered, "/clips");
  request.FilesChosen({});
  EXPECT_FALSE(request.CanStart());

  EXPECT_EQ(request.ExtensionText(), ".mpg");
  EXPECT_EQ(request.OutputPathFor("/a/clip.avi"), "/a/clip.mpg");
  request.extension = AviToMpgRequest::kMpeg;
  EXPECT_EQ(request.OutputPathFor("/a/clip.avi"), "/a/clip.mpeg");
  EXPECT_EQ(request.OutputPathFor("/a/holiday.2024.avi"), "/a/holiday.2024.mpeg");
  EXPECT_EQ(request.OutputPathFor("/a/noext"), "/a/noext.mpeg");
  EXPECT_EQ(request.OutputPathFor("clip.avi"), "clip.mpeg");
  request.FolderChosen("/out");
  EXPECT_EQ(request.OutputCaption(), "/out");
  EXPECT_EQ(request.OutputPathFor("/a/clip.avi"), "/out/clip.mpeg");
  request.FolderChosen("/out/");
  EXPECT_EQ(request.OutputPathFor("/a/clip.avi"), "/out/clip.mpeg");
}

// Records what the loop tells the main frame.
class RecordingHost : public AviToMpgHost {
 public:
  void SetBusy(bool busy) override { events.push_back(busy ? "busy" : "idle"); }
  void RememberOutputFile(const std::string& path) override { events.push_back(path); }
  std::vector<std::string> events;
};

TEST(AviToMpgLoopTest, ConvertsEachFileInTurnAndGoesOnAfterAFailure) {
  TempDir dir;
  std::vector<std::string> opened;
  MpegEngineServices s;
  s.openAvi = [&](const std::string& path) -> std::unique_ptr<AviConversionInput> {
    opened.push_back(path);
    if (path.find("bad") != std::string::npos) return nullptr;
    auto avi = std::make_unique<testing::FakeAvi>();
    avi->info = AviFileSummary{32, 32, 25, 1, 2};
    for (int i = 0; i < 2; ++i) avi->frames.push_back(testing::MovingPicture(32, 32, i));
    return avi;
  };
  ScopedMpegEngineServices scope(s);
  RecordingConversionLog log;
  ScopedConversionLog logScope(log);

  AviToMpgRequest request;
  request.inputFiles = {dir.File("one.avi"), dir.File("bad.avi"), dir.File("two.avi")};
  RecordingHost host;
  const auto outcomes = RunAviToMpg(request, &host);
  EXPECT_EQ(opened, request.inputFiles);
  ASSERT_EQ(outcomes.size(), 3u);
  EXPECT_TRUE(outcomes[0].produced);
  EXPECT_FALSE(outcomes[1].produced);
  EXPECT_TRUE(outcomes[2].produced);
  EXPECT_EQ(host.events, (std::vector<std::string>{"busy", dir.File("one.mpg"), dir.File("bad.mpg"),
                                                   dir.File("two.mpg"), "idle"}));
  EXPECT_EQ(log.lines.front(), "Starting MPG engine...");
  EXPECT_EQ(log.lines.back(), "MPG engine closed");
  EXPECT_TRUE(log.HasLine("Error: " + dir.File("bad.avi") + " is locked or unavailable"));
  EXPECT_TRUE(std::filesystem::exists(dir.File("one.mpg")));
  EXPECT_FALSE(std::filesystem::exists(dir.File("bad.mpg")));
  EXPECT_TRUE(std::filesystem::exists(dir.File("two.mpg")));

  // The command line's arguments reach the engine.
  log.lines.clear();
  request.inputFiles = {dir.File("one.avi")};
  AviToMpgArguments arguments;
  arguments.frameRateSelection = 5;
  arguments.width = 48;
  arguments.height = 40;
  ASSERT_TRUE(RunAviToMpg(request, nullptr, arguments).at(0).produced);
  EXPECT_TRUE(log.HasLine("Output frame size: 48x40"));
  EXPECT_TRUE(log.HasLine("Frame rate: 30 FPS"));
}

}  // namespace
}  // namespace quendrolix
