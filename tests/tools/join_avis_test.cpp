// Joining two AVIs and the TIFF converter, both through Quick create over the program's
// temporary folder.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "platform/host/user_prompts.h"
#include "support/image_tools_fixtures.h"
#include "support/test_support.h"
#include "support/vfw_fixtures.h"
#include "tools/extract_frames.h"
#include "tools/join_avis.h"
#include "tools/temp_folder.h"
#include "tools/tiff_to_movie.h"

namespace quendrolix {
namespace {
using namespace testing;
namespace fs = std::filesystem;

struct JoinFixture : ::testing::Test {
  ScopedProgramFolder home;
  TempDir dir;
  FrameList list;
  SettingsStore store;
  CFramewrightDoc doc{list, store};
  AVICOMPRESSOPTIONS fullFrames = OptionsFor(0);
  RecordingPrompts prompts;
  ScopedPrompts scoped{prompts};
  BuildEnvironment env;
  JoinFixture() {
    doc.initialised = true;
    env.codecOptions = &fullFrames;
  }
  bool TempIsEmpty() const { return fs::is_empty(ProgramTempFolder()); }
};

TEST_F(JoinFixture, FramesOfTheFirstFileComeBeforeThoseOfTheSecond) {
  auto first = WriteFramesAvi(dir.File("five.avi"), 5, 16, 8, 0);
  auto second = WriteFramesAvi(dir.File("three.avi"), 3, 16, 8, 40);
  ASSERT_EQ(JoinAvis(doc, dir.File("five.avi"), dir.File("three.avi"), dir.File("both.avi"), env),
            FrameToolStatus::kBuilt);
  auto joined = ReadFramesBgr(dir.File("both.avi"));
  first.insert(first.end(), second.begin(), second.end());
  EXPECT_EQ(joined, first);
  EXPECT_TRUE(TempIsEmpty());
}

TEST_F(JoinFixture, TheSecondFilesFramesAreFittedToTheFirstsSize) {
  // 32 x 16 then frames twice as large each way: scaled down into 32 x 16, none dropped,
  // even with a project frame size and the fit "none" set.
  doc.output = {640, 480, PictureFit::kNone};
  auto first = WriteFramesAvi(dir.File("small.avi"), 2, 32, 16, 0);
  WriteFramesAvi(dir.File("large.avi"), 3, 64, 32, 40);
  ASSERT_EQ(JoinAvis(doc, dir.File("small.avi"), dir.File("large.avi"), dir.File("both.avi"), env),
            FrameToolStatus::kBuilt);
  auto joined = ReadFramesBgr(dir.File("both.avi"));
  ASSERT_EQ(joined.size(), 5u);
  EXPECT_EQ(joined[0], first[0]);
  EXPECT_EQ(joined[1], first[1]);
  for (size_t i = 2; i < 5; ++i) EXPECT_EQ(joined[i].size(), first[0].size()) << i;
  EXPECT_TRUE(prompts.messages.empty()) << prompts.messages.front();
}

TEST_F(JoinFixture, AFileWithSoundJoinsInOrderWithOneWithout) {
  // Frames of a file with sound are named by stream when extracted on their own; joined
  // they must still come first.
  ASSERT_FALSE(WriteFramesAviWithSound(dir.File("talk.avi"), 2, 16, 8).empty());
  auto first = ReadFramesBgr(dir.File("talk.avi"));
  auto second = WriteFramesAvi(dir.File("quiet.avi"), 3, 16, 8, 40);
  ASSERT_EQ(JoinAvis(doc, dir.File("talk.avi"), dir.File("quiet.avi"), dir.File("both.avi"), env),
            FrameToolStatus::kBuilt);
  first.insert(first.end(), second.begin(), second.end());
  EXPECT_EQ(ReadFramesBgr(dir.File("both.avi")), first);
}

TEST_F(JoinFixture, MissingOrEmptyInputsEndTheJoin) {
  WriteFramesAvi(dir.File("one.avi"), 1, 4, 4);
  EXPECT_EQ(JoinAvis(doc, dir.File("one.avi"), dir.File("gone.avi"), dir.File("out.avi"), env),
            FrameToolStatus::kInputMissing);
  EXPECT_EQ(prompts.messages, std::vector<std::string>{"Cannot find " + dir.File("gone.avi")});
  WriteText(dir.File("junk.avi"), "junk");
  EXPECT_EQ(JoinAvis(doc, dir.File("one.avi"), dir.File("junk.avi"), dir.File("out.avi"), env),
            FrameToolStatus::kNothingToJoin);
  EXPECT_FALSE(fs::exists(dir.File("out.avi")));

  // The temporary folder cannot be made: a file stands in its place.
  fs::remove_all(home.File("Temp"));
  WriteText(home.File("Temp"), "in the way");
  EXPECT_EQ(JoinAvis(doc, dir.File("one.avi"), dir.File("one.avi"), dir.File("out.avi"), env),
            FrameToolStatus::kNoTempFolder);
  EXPECT_TRUE(
      prompts.HasMessage("Could not create " + home.File("Temp") + "/ folder for temporary files"));
}

TEST_F(JoinFixture, LeftoversInTempNeverJoinAndAFailedJoinLeavesNothing) {
  // What an earlier run, a crash or a file manager left in the temporary folder.
  fs::create_directories(ProgramTempFolder());
  WriteText(ProgramTempFolder() + ".directory", "[Dolphin]\n");
  WriteFramesAvi(dir.File("stale.avi"), 1, 16, 8, 90);
  ASSERT_EQ(ExtractAviFrames(dir.File("stale.avi"), ProgramTempFolder(), 0, nullptr), 1);
  fs::permissions(ProgramTempFolder() + "Img0000.bmp", fs::perms::owner_read);
  fs::create_symlink("/nonexistent", ProgramTempFolder() + "Img0001.bmp");

  auto first = WriteFramesAvi(dir.File("two.avi"), 2, 16, 8, 0);
  auto second = WriteFramesAvi(dir.File("one.avi"), 1, 16, 8, 40);
  ASSERT_EQ(JoinAvis(doc, dir.File("two.avi"), dir.File("one.avi"), dir.File("both.avi"), env),
            FrameToolStatus::kBuilt);
  first.insert(first.end(), second.begin(), second.end());
  EXPECT_EQ(ReadFramesBgr(dir.File("both.avi")), first);
  EXPECT_TRUE(prompts.messages.empty());

  // A join that fails half-way removes the frames it wrote.
  const size_t before = std::distance(fs::directory_iterator(ProgramTempFolder()), {});
  WriteText(dir.File("junk.avi"), "junk");
  EXPECT_EQ(JoinAvis(doc, dir.File("two.avi"), dir.File("junk.avi"), dir.File("out.avi"), env),
            FrameToolStatus::kNothingToJoin);
  EXPECT_EQ(static_cast<size_t>(std::distance(fs::directory_iterator(ProgramTempFolder()), {})),
            before);
}

TEST(FrameNumberDigits, NamesPastTenThousandFramesStillSortInFrameOrder) {
  EXPECT_EQ(FrameNumberDigits(0), 4);
  EXPECT_EQ(FrameNumberDigits(10000), 4);  // numbers 0..9999
  EXPECT_EQ(FrameNumberDigits(10001), 5);
  EXPECT_EQ(FrameNumberDigits(1000001), 7);
  const AviFrameNaming naming{FrameNumberDigits(12000), true};
  std::vector<std::string> names;
  for (int n : {9998, 9999, 10000, 10001, 11999, 0, 1})
    names.push_back(AviFrameName(false, 0, n, naming));
  std::vector<std::string> sorted = names;
  std::sort(sorted.begin(), sorted.end());
  EXPECT_EQ(sorted, (std::vector<std::string>{"Img00000.bmp", "Img00001.bmp", "Img09998.bmp",
                                              "Img09999.bmp", "Img10000.bmp", "Img10001.bmp",
                                              "Img11999.bmp"}));
}

TEST(TiffToMovieCli, TakesTheRateFramesSizeAndFitAsked) {
  TempDir dir;
  WriteMultiPageTiff(dir.File("scan.tiff"), 3, 10, 6);
  const std::string avi = dir.File("scan.avi");
  const CommandResult made =
      RunCli({"--home", dir.File("home"), "tiff2movie", dir.File("scan.tiff"), avi, "--fps", "7",
              "--frames", "2", "--size", "20x12", "--fit", "stretch"});
  ASSERT_EQ(made.status, 0) << made.errors;
  const auto frames = ReadFramesBgr(avi);
  ASSERT_EQ(frames.size(), 6u);
  for (const auto& frame : frames) EXPECT_EQ(frame.size(), 20u * 12u * 3u);
  for (const std::vector<std::string>& bad : {std::vector<std::string>{"--fps", "0"},
                                              {"--frames", "x"},
                                              {"--size", "20"},
                                              {"--fit", "zoom"},
                                              {"--bogus", "1"}})
    EXPECT_EQ(RunCli({"--home", dir.File("home"), "tiff2movie", dir.File("scan.tiff"), avi, bad[0],
                      bad[1]})
                  .status,
              2)
        << bad[0];
}

TEST_F(JoinFixture, TiffPagesBecomeTheFramesOfAMovie) {
  const auto pages = WriteMultiPageTiff(dir.File("scan.tiff"), 3, 10, 6);
  ASSERT_EQ(ConvertTiffToMovie(doc, dir.File("scan.tiff"), dir.File("scan.avi"), env),
            FrameToolStatus::kBuilt);
  auto frames = ReadFramesBgr(dir.File("scan.avi"));
  ASSERT_EQ(frames.size(), 3u);
  for (size_t p = 0; p < 3; ++p) {
    std::vector<uint8_t> rgb = frames[p];
    for (size_t i = 0; i + 2 < rgb.size(); i += 3) std::swap(rgb[i], rgb[i + 2]);
    EXPECT_EQ(rgb, pages[p]) << "page " << p;
  }
  EXPECT_TRUE(TempIsEmpty());
  WriteText(dir.File("flat.tif"), "no tiff");
  EXPECT_EQ(ConvertTiffToMovie(doc, dir.File("flat.tif"), dir.File("flat.avi"), env),
            FrameToolStatus::kNothingToJoin);
}

}  // namespace
}  // namespace quendrolix
