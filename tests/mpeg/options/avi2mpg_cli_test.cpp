// quendrolix-cli avi2mpg: arguments, output names, the log on standard output and the exit
// status.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/mpeg_system_fixtures.h"
#include "support/mpeg_video_fixtures.h"
#include "support/mpeg_wire_fixtures.h"
#include "support/test_support.h"

namespace quendrolix {
namespace {
namespace fs = std::filesystem;
using testing::ShellQuote;
using testing::TempDir;

testing::CommandResult Avi2Mpg(const fs::path& tmp, const std::vector<std::string>& args) {
  std::string line = "TMPDIR=" + ShellQuote(tmp.string()) + " " + ShellQuote(QUENDROLIX_CLI) +
                     " --home " + ShellQuote((tmp.parent_path() / "home").string()) + " avi2mpg";
  for (const auto& a : args) line += " " + ShellQuote(a);
  return testing::RunCommand(line + " </dev/null");
}

TEST(Avi2MpgCliTest, BadArgumentsAreUsageErrors) {
  TempDir dir;
  for (const auto& args :
       std::vector<std::vector<std::string>>{{},
                                             {"--size", "64", "a.avi"},
                                             {"--size", "0x48", "a.avi"},
                                             {"--size", "4096x48", "a.avi"},
                                             {"--size", "64x2802", "a.avi"},
                                             {"--fps-code", "9", "a.avi"},
                                             {"--total-rate", "lots", "a.avi"},
                                             {"--out-dir", dir.File("nowhere"), "a.avi"},
                                             {"--loud", "a.avi"},
                                             {"--video-rate", "10", "a.avi"},
                                             {"--video-rate", "fast", "a.avi"},
                                             {"--video-rate", "0", "a.avi"},
                                             {"--layer", "3", "a.avi"},
                                             {"--audio-rate", "100", "a.avi"},
                                             {"--layer", "1", "--audio-rate", "48", "a.avi"},
                                             {"--mpeg"}}) {
    auto r = testing::RunCli([&] {
      std::vector<std::string> all{"avi2mpg"};
      all.insert(all.end(), args.begin(), args.end());
      return all;
    }());
    EXPECT_EQ(r.status, 2) << r.errors;
    EXPECT_NE(r.errors.find("Usage: quendrolix-cli avi2mpg"), std::string::npos);
  }
  auto help = testing::RunCli({"avi2mpg", "--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.output.find("--mpeg"), std::string::npos);
}

TEST(Avi2MpgCliTest, ConvertsEachFileIntoTheFolderAndFailsWhenOneGaveNothing) {
  TempDir dir;
  fs::create_directory(dir.path() / "tmp");
  fs::create_directory(dir.path() / "out");
  fs::create_directory(dir.path() / "home");
  testing::AviSpec spec;
  spec.frames = 6;
  spec.rate = 15;
  spec.sound = testing::AviSoundSpec{1, 44100, 2, 16, 0.4};
  ASSERT_EQ(testing::WriteAviWithSound(dir.File("b.avi"), spec), AVIERR_OK);
  spec.sound.seconds = 0;  // no sound: the output is the video stream itself
  ASSERT_EQ(testing::WriteAviWithSound(dir.File("a.avi"), spec), AVIERR_OK);

  auto r = Avi2Mpg(dir.path() / "tmp", {"--mpeg", "--out-dir", dir.File("out"), dir.File("b.avi"),
                                        dir.File("missing.avi"), dir.File("a.avi")});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.output.substr(0, 22), "Starting MPG engine...");
  EXPECT_NE(r.output.find("Converting " + dir.File("b.avi") + " to " + dir.File("out/b.mpeg")),
            std::string::npos);
  EXPECT_NE(r.output.find("Error: " + dir.File("missing.avi") + " is locked or unavailable"),
            std::string::npos);
  EXPECT_EQ(r.output.substr(r.output.size() - 18), "MPG engine closed\n");
  EXPECT_NE(r.errors.find("missing.avi: no output written"), std::string::npos);
  // Converted in the order given.
  EXPECT_LT(r.output.find(dir.File("b.avi")), r.output.find(dir.File("a.avi")));

  auto system = testing::ParseSystemStream(testing::ReadBytes(dir.File("out/b.mpeg")));
  EXPECT_EQ(system.error, "");
  EXPECT_FALSE(system.Payload(0xC0).empty());
  auto video = testing::ParseVideoStream(testing::ReadBytes(dir.File("out/a.mpeg")), false);
  EXPECT_EQ(video.error, "");
  EXPECT_EQ(video.pictures.size(), 12u);  // 15 frames/s coded at 30
  EXPECT_FALSE(fs::exists(dir.File("out/missing.mpeg")));
  for (const auto& entry : fs::recursive_directory_iterator(dir.path() / "tmp"))
    ADD_FAILURE() << "left behind: " << entry.path();

  // Beside the source, with the engine's options.
  r = Avi2Mpg(dir.path() / "tmp", {"--fps-code", "3", "--size", "80x64", dir.File("b.avi")});
  EXPECT_EQ(r.status, 0) << r.errors;
  EXPECT_NE(r.output.find("Output frame size: 80x64"), std::string::npos);
  video = testing::ParseVideoStream(testing::ReadBytes(dir.File("b.mpg")), false);
  EXPECT_EQ(video.error, "");
  EXPECT_EQ(video.horizontalSize, 80);
  EXPECT_EQ(video.frameRateCode, 3);
}

}  // namespace
}  // namespace quendrolix
