#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <set>

#include "platform/host/conversion_log.h"
#include "platform/host/program_folder.h"
#include "platform/host/temp_names.h"
#include "platform/host/user_prompts.h"
#include "support/test_support.h"

namespace quendrolix {
namespace {
namespace fs = std::filesystem;
using testing::TempDir;

TEST(ConversionLogTest, EnginesReachTheInstalledLogAndFallBackToSilence) {
  RecordingConversionLog log;
  {
    ScopedConversionLog scope(log);
    ReportLine("Video size: %ux%u at %4.2f FPS", 320u, 240u, 29.97);
    ReportFrame(7);
    ReportPercent(42);
    ReportFatal("malloc failed");
  }
  ReportLine("after the scope");  // goes nowhere
  ASSERT_EQ(log.lines.size(), 1u);
  EXPECT_EQ(log.lines[0], "Video size: 320x240 at 29.97 FPS");
  EXPECT_EQ(log.frames, std::vector<unsigned>{7});
  EXPECT_EQ(log.percents, std::vector<int>{42});
  EXPECT_EQ(log.fatals, std::vector<std::string>{"malloc failed"});
}

TEST(ConversionLogTest, LongLinesAreNotCut) {
  std::string path(1000, 'x');
  EXPECT_EQ(StringPrintf("Error: %s not found", path.c_str()), "Error: " + path + " not found");
}

TEST(UserPromptsTest, ScriptedAnswersAreConsumedInOrderThenNo) {
  RecordingPrompts prompts;
  prompts.answers = {true, false, true};
  ScopedPrompts scope(prompts);
  EXPECT_TRUE(Prompts().AskYesNo("a"));
  EXPECT_FALSE(Prompts().AskYesNo("b"));
  EXPECT_TRUE(Prompts().AskYesNo("c"));
  EXPECT_FALSE(Prompts().AskYesNo("d"));
  EXPECT_EQ(prompts.questions.size(), 4u);
}

TEST(ProgramFolderTest, OverrideWinsAndIsCreated) {
  TempDir dir;
  fs::path home = dir.path() / "nested" / "home";
  ProgramFolder::SetOverride(home);
  EXPECT_EQ(ProgramFolder::Get(), home);
  EXPECT_TRUE(fs::is_directory(home));
  EXPECT_EQ(ProgramFolder::Join("Clipora.ini"), (home / "Clipora.ini").string());
  ProgramFolder::SetOverride({});
}

TEST(ProgramFolderTest, EnvironmentComesBeforeTheExecutableFolder) {
  TempDir dir;
  ::setenv("QUENDROLIX_HOME", dir.path().c_str(), 1);
  EXPECT_EQ(ProgramFolder::Get(), dir.path());
  ::unsetenv("QUENDROLIX_HOME");
  // The test program's own folder is writable, so it is next.
  EXPECT_EQ(ProgramFolder::Get(), ProgramFolder::ExecutableFolder());
}

TEST(TempNamesTest, PrivateFolderIsRemovedWithItsFiles) {
  fs::path kept;
  {
    PrivateTempFolder folder("test");
    ASSERT_TRUE(folder.ok());
    kept = folder.path();
    testing::WriteText(folder.File("video.m1v"), "data");
    EXPECT_TRUE(fs::exists(folder.File("video.m1v")));
  }
  EXPECT_FALSE(fs::exists(kept));
}

TEST(TempNamesTest, UniqueFilesNeverCollide) {
  TempDir dir;
  std::set<fs::path> seen;
  for (int i = 0; i < 50; ++i) {
    fs::path name = UniqueFileIn(dir.path(), "zqtemp", ".avi");
    ASSERT_FALSE(name.empty());
    EXPECT_EQ(name.extension(), ".avi");
    EXPECT_TRUE(seen.insert(name).second);
  }
}

}  // namespace
}  // namespace quendrolix
