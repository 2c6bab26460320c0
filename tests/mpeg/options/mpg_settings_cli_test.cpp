// quendrolix-cli mpg-settings: the "MPEG" options shown and set by name.
#include <gtest/gtest.h>

#include "support/test_support.h"

namespace quendrolix {
namespace {
using testing::TempDir;

TEST(MpgSettingsCliTest, ShowsSetsAndRefuses) {
  TempDir dir;
  const std::string home = dir.File("home");
  auto run = [&](std::vector<std::string> args) {
    args.insert(args.begin(), {"--home", home, "mpg-settings"});
    return testing::RunCli(args);
  };
  testing::CommandResult r = run({});
  ASSERT_EQ(r.status, 0) << r.errors;
  EXPECT_EQ(r.output, "Layer=2\nBitrate=128\nFPS=project\nVideoBitrate=automatic\n");

  // Layer first, then the rate looked up in that layer's list, whatever the order given.
  r = run({"VideoBitrate=2500", "Bitrate=384", "FPS=25", "Layer=1"});
  ASSERT_EQ(r.status, 0) << r.errors;
  EXPECT_EQ(r.output, "Layer=1\nBitrate=384\nFPS=25\nVideoBitrate=2500\n");
  EXPECT_NE(testing::ReadText(home + "/Clipora.ini").find("VideoBitrate=2500"), std::string::npos);
  EXPECT_EQ(run({"--show"}).output, "Layer=1\nBitrate=384\nFPS=25\nVideoBitrate=2500\n");

  // Only the layer: the position is kept, as the dialog keeps it (384 is position 11).
  r = run({"Layer=2"});
  EXPECT_EQ(r.output, "Layer=2\nBitrate=256\nFPS=25\nVideoBitrate=2500\n");
  r = run({"VideoBitrate=auto"});
  EXPECT_EQ(r.output, "Layer=2\nBitrate=256\nFPS=25\nVideoBitrate=automatic\n");

  for (const auto& bad : std::vector<std::vector<std::string>>{{"Layer=3"},
                                                               {"Bitrate=100"},
                                                               {"FPS=26"},
                                                               {"VideoBitrate=20"},
                                                               {"VideoBitrate=200000"},
                                                               {"Volume=3"},
                                                               {"Layer"}}) {
    r = run(bad);
    EXPECT_EQ(r.status, 2) << bad[0];
    EXPECT_NE(r.errors.find("Usage: quendrolix-cli mpg-settings"), std::string::npos);
  }
  // Nothing refused was written.
  EXPECT_EQ(run({}).output, "Layer=2\nBitrate=256\nFPS=25\nVideoBitrate=automatic\n");
}

}  // namespace
}  // namespace quendrolix
