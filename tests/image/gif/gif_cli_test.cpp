#include <gtest/gtest.h>

#include "support/gif_fixtures.h"
#include "support/test_support.h"

namespace quendrolix {
namespace {
using testing::CommandResult;
using testing::ReadText;
using testing::RunCli;
using testing::TempDir;
using testing::WriteText;

CommandResult Cli(const TempDir& home, std::vector<std::string> args) {
  args.insert(args.begin(), {"--home", home.path().string()});
  return RunCli(args);
}

TEST(GifCli, ShowsAndSetsTheOptionsThroughTheDialogRules) {
  TempDir home;
  CommandResult run = Cli(home, {"gif-settings", "--show"});
  ASSERT_EQ(run.status, 0) << run.errors;
  EXPECT_EQ(
      run.output,
      "GlobalColormap=1\nInterlaced=0\nTransparency=-1\nPlay=1\nShowDlg=1\nGlobalDelay=100\n");

  WriteText(home.File("Clipora.ini"), "[General]\r\nFPS=12\r\n");
  run = Cli(home, {"gif-settings", "Play=300", "Transparency=256", "GlobalDelay=7", "Interlaced=1",
                   "ShowDlg=0", "GlobalColormap=0"});
  ASSERT_EQ(run.status, 0) << run.errors;
  EXPECT_EQ(
      run.output,
      "GlobalColormap=0\nInterlaced=1\nTransparency=-1\nPlay=255\nShowDlg=0\nGlobalDelay=7\n");
  EXPECT_EQ(ReadText(home.File("Clipora.ini")),
            "[General]\r\nFPS=12\r\n[Gif Settings]\r\nGlobalColormap=0\r\nInterlaced=1\r\n"
            "Transparency=-1\r\nPlay=255\r\nShowDlg=0\r\nGlobalDelay=7\r\n");

  run = Cli(home, {"gif-settings", "Play=-3", "Transparency=12"});
  ASSERT_EQ(run.status, 0) << run.errors;
  EXPECT_EQ(Cli(home, {"gif-settings"}).output,
            "GlobalColormap=0\nInterlaced=1\nTransparency=12\nPlay=1\nShowDlg=0\nGlobalDelay=7\n");
  run = Cli(home, {"gif-settings", "Play=forever", "Transparency=none"});
  EXPECT_NE(run.output.find("Transparency=-1\nPlay=0\n"), std::string::npos) << run.output;

  EXPECT_EQ(Cli(home, {"gif-settings", "Colour=1"}).status, 2);
  EXPECT_EQ(Cli(home, {"gif-settings", "Play=many"}).status, 2);
  EXPECT_EQ(Cli(home, {"gif-settings", "Play"}).status, 2);
}

TEST(GifCli, WritesAGifFromBmpFilesAndRefusesBadOnes) {
  TempDir home, dir;
  std::vector<std::string> args = {"gif-write", dir.File("out.gif")};
  for (int i = 0; i < 3; ++i) {
    std::string name = dir.File("f" + std::to_string(i) + ".bmp");
    testing::WriteBmp24(name, 12, 10, testing::Solid(12, 10, static_cast<uint8_t>(80 * i), 10, 20));
    args.push_back(i == 1 ? name + ",4" : name);
  }
  ASSERT_EQ(Cli(home, {"gif-settings", "GlobalDelay=5", "Play=0", "GlobalColormap=0"}).status, 0);
  CommandResult run = Cli(home, args);
  ASSERT_EQ(run.status, 0) << run.errors;
  EXPECT_NE(run.output.find("3 pictures in 3 images"), std::string::npos) << run.output;
  auto gif = testing::ParseGif(testing::ReadBytes(dir.File("out.gif")));
  ASSERT_EQ(gif.images.size(), 3u);
  EXPECT_EQ(gif.images[1].delay, 20);
  EXPECT_EQ(gif.loopCount, 0);
  uint8_t rgb[3];
  gif.Colour(gif.images[2], 0, rgb);
  EXPECT_EQ(rgb[0], 160);

  // A picture of another size, a missing one, and one that is not a BMP: nothing written.
  testing::WriteBmp24(dir.File("big.bmp"), 13, 10, testing::Solid(13, 10, 1, 2, 3));
  WriteText(dir.File("text.bmp"), "hello");
  for (const std::string& bad : {dir.File("big.bmp"), dir.File("none.bmp"), dir.File("text.bmp")}) {
    run = Cli(home, {"gif-write", dir.File("bad.gif"), dir.File("f0.bmp"), bad});
    EXPECT_EQ(run.status, 1) << bad;
    EXPECT_NE(run.errors.find(bad), std::string::npos) << run.errors;
    EXPECT_FALSE(std::filesystem::exists(dir.File("bad.gif")));
  }
  EXPECT_EQ(Cli(home, {"gif-write", dir.File("x.gif")}).status, 2);
}

}  // namespace
}  // namespace quendrolix
