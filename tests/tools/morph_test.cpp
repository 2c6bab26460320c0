// Morphing: the cross-dissolve's byte values, the files it writes and the dialog's rules.
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/host/user_prompts.h"
#include "support/avi_fixtures.h"
#include "support/image_fixtures.h"
#include "support/test_support.h"
#include "tools/morph.h"
#include "tools/morph_dialog.h"

namespace quendrolix {
namespace {
using namespace testing;
namespace fs = std::filesystem;

std::vector<uint8_t> PixelsOf(const std::string& path) {
  CBmp picture;
  return picture.Load(path) ? RgbOf(picture) : std::vector<uint8_t>();
}

std::string Solid(const TempDir& dir, const char* name, uint8_t value) {
  return WriteSquareBmp(dir.File(name), 5, 3, RGB(value, value, value), RGB(value, value, value), 0,
                        0, 0);
}

TEST(MorphImages, OneStepWritesSourceTargetAndTargetInThatOrder) {
  TempDir dir;
  WriteBmp(dir.File("from.bmp"), PatternBitmap(7, 5, 1));
  WriteBmp(dir.File("to.bmp"), PatternBitmap(7, 5, 2));
  std::vector<std::string> names;
  ASSERT_TRUE(
      MorphImages(names, dir.File("from.bmp"), dir.File("to.bmp"), dir.path().string(), 1, 1));
  ASSERT_EQ(names, (std::vector<std::string>{dir.File("Img0001.bmp"), dir.File("Img0002.bmp"),
                                             dir.File("Img0003.bmp")}));
  EXPECT_EQ(PixelsOf(names[0]), PixelsOf(dir.File("from.bmp")));
  EXPECT_EQ(PixelsOf(names[1]), PixelsOf(dir.File("to.bmp")));
  EXPECT_EQ(PixelsOf(names[2]), PixelsOf(dir.File("to.bmp")));
  EXPECT_EQ(ReadBytes(names[0])[28], 24);  // 24-bit bitmaps
}

TEST(MorphImages, ATargetOfAnotherSizeIsFittedIntoTheSourcesSize) {
  TempDir dir;
  WriteBmp(dir.File("from.bmp"), PatternBitmap(40, 20, 1));
  HBITMAP wide = Bitmap::Create(80, 20);
  wide->Fill(0xFFFFFF);
  WriteBmp(dir.File("wide.bmp"), wide);
  std::vector<std::string> names;
  ASSERT_TRUE(
      MorphImages(names, dir.File("from.bmp"), dir.File("wide.bmp"), dir.path().string(), 1, 1));
  ASSERT_EQ(names.size(), 3u);
  // Letterboxed: the white 80 x 20 becomes 40 x 10 between black bars, all of it shown.
  CBmp target;
  ASSERT_TRUE(target.Load(names[2]));
  int w = 0, h = 0;
  target.GetSize(w, h);
  EXPECT_EQ(w, 40);
  EXPECT_EQ(h, 20);
  EXPECT_EQ(target.bitmap()->Pixel(20, 2), 0u);
  EXPECT_EQ(target.bitmap()->Pixel(0, 10), 0xFFFFFFu);
  EXPECT_EQ(target.bitmap()->Pixel(39, 10), 0xFFFFFFu);
  EXPECT_EQ(target.bitmap()->Pixel(20, 17), 0u);
  // The fit "none" lays it on unscaled from the corner, as before.
  TempDir none;
  names.clear();
  ASSERT_TRUE(MorphImages(names, dir.File("from.bmp"), dir.File("wide.bmp"), none.path().string(),
                          1, 1, {}, kScreenBitsPerPixel, PictureFit::kNone));
  ASSERT_TRUE(target.Load(names[2]));
  EXPECT_EQ(target.bitmap()->Pixel(20, 2), 0xFFFFFFu);
}

TEST(MorphImages, EachStepClosesItsShareOfTheRemainingDistance) {
  TempDir dir;
  std::vector<std::string> names;
  ASSERT_TRUE(MorphImages(names, Solid(dir, "black.bmp", 0), Solid(dir, "white.bmp", 255),
                          dir.path().string(), 3, 0));
  ASSERT_EQ(names.size(), 5u);
  const uint8_t expected[] = {0, 85, 170, 255, 255};
  for (size_t i = 0; i < names.size(); ++i)
    EXPECT_EQ(PixelsOf(names[i]), std::vector<uint8_t>(5 * 3 * 3, expected[i])) << names[i];

  names.clear();
  TempDir two;
  ASSERT_TRUE(MorphImages(names, Solid(dir, "ten.bmp", 10), Solid(dir, "thirteen.bmp", 13),
                          two.path().string(), 2, 1));
  EXPECT_EQ(PixelsOf(two.File("Img0002.bmp")), std::vector<uint8_t>(45, 11));  // 3 / 2 = 1
  EXPECT_EQ(PixelsOf(two.File("Img0003.bmp")), std::vector<uint8_t>(45, 13));
  // Downwards as well: 13 to 10 in two steps gives 12 and 10.
  TempDir down;
  names.clear();
  ASSERT_TRUE(MorphImages(names, dir.File("thirteen.bmp"), dir.File("ten.bmp"),
                          down.path().string(), 2, 1));
  EXPECT_EQ(PixelsOf(down.File("Img0002.bmp")), std::vector<uint8_t>(45, 12));
}

TEST(MorphImages, FailedSavesAreReportedAndStopTheRun) {
  TempDir dir;
  RecordingPrompts prompts;
  ScopedPrompts scoped(prompts);
  std::vector<std::string> names;
  const std::string missing = dir.File("nowhere");
  EXPECT_FALSE(MorphImages(names, Solid(dir, "a.bmp", 0), Solid(dir, "b.bmp", 9), missing, 2, 1));
  ASSERT_EQ(prompts.messages.size(), 1u);
  EXPECT_EQ(prompts.messages[0].rfind(
                "Error: could not save the bitmap (file: " + missing + "/Img0001.bmp, error: ", 0),
            0u);
  EXPECT_TRUE(names.empty());

  // The in-between steps report theirs too.
  prompts.messages.clear();
  CBmp first, target;
  ASSERT_TRUE(first.Load(dir.File("a.bmp")));
  ASSERT_TRUE(target.Load(dir.File("b.bmp")));
  EXPECT_FALSE(CrossDissolveSteps(names, first, target, missing, 3, 2));
  ASSERT_EQ(prompts.messages.size(), 1u);
  EXPECT_NE(prompts.messages[0].find("(file: " + missing + "/Img0002.bmp"), std::string::npos);
  EXPECT_TRUE(names.empty());
}

TEST(MorphDialog, ClampsItsNumbersAndRefusesWhatCannotBeMorphed) {
  EXPECT_EQ(MorphDialog::StepsFrom("0"), 1);
  EXPECT_EQ(MorphDialog::StepsFrom("-7"), 1);
  EXPECT_EQ(MorphDialog::StepsFrom("300"), 254);
  EXPECT_EQ(MorphDialog::StartFrom("-5"), 0);
  EXPECT_EQ(MorphDialog::StartFrom("99999999999"), 999999999);

  ScopedProgramFolder home;
  TempDir dir;
  SettingsStore store;
  RecordingPrompts prompts;
  ScopedPrompts scoped(prompts);
  MorphDialog dialog = MorphDialog::Open(store);
  EXPECT_EQ(dialog.folder, home.File("Morph"));
  EXPECT_EQ(dialog.stepsText, "20");
  EXPECT_EQ(dialog.disposition, ImageDisposition::kNewProject);

  WriteBmp(dir.File("a.bmp"), PatternBitmap(6, 4, 1));
  WriteBmp(dir.File("b.bmp"), PatternBitmap(6, 4, 2));
  WriteBmp(dir.File("wide.bmp"), PatternBitmap(8, 4, 3));
  dialog.SetSource(dir.File("a.bmp"));
  EXPECT_FALSE(dialog.MorphEnabled());
  dialog.SetTarget(dir.File("wide.bmp"));
  EXPECT_EQ(prompts.messages, std::vector<std::string>{MorphDialog::kSizeMismatch});
  EXPECT_TRUE(dialog.targetPath.empty());

  prompts.messages.clear();
  dialog.SetTarget(dir.File("a.bmp"));
  EXPECT_FALSE(dialog.Accept(store));
  EXPECT_EQ(prompts.messages, std::vector<std::string>{"Cannot morph into the same image"});
  dialog.SetTarget(dir.path().string() + "/./a.bmp");  // another spelling passes
  dialog.stepsText = "300";
  dialog.startText = "-5";
  EXPECT_TRUE(dialog.Accept(store));
  EXPECT_EQ(dialog.steps, 254);
  EXPECT_EQ(dialog.start, 0);

  dialog.SetTarget(dir.File("b.bmp"));
  fs::remove(dir.File("b.bmp"));
  prompts.messages.clear();
  EXPECT_FALSE(dialog.Accept(store));
  EXPECT_EQ(prompts.messages, std::vector<std::string>{"Cannot open " + dir.File("b.bmp")});
}

}  // namespace
}  // namespace quendrolix
