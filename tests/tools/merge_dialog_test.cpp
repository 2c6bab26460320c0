#include "tools/merge_dialog.h"

#include <gtest/gtest.h>

#include "support/test_support.h"

namespace quendrolix {
namespace {

TEST(MergeDialogTest, DoItNeedsTwoExistingInputsAndAnOutputName) {
  testing::TempDir dir;
  testing::WriteText(dir.File("anim.m1v"), "x");
  testing::WriteText(dir.File("tune.wav"), "y");

  MergeDialog d;
  d.animationPath = dir.File("anim.m1v");
  d.soundPath = dir.File("tune.wav");
  EXPECT_FALSE(d.OkEnabled());  // no output yet
  d.outputPath = "out";
  EXPECT_TRUE(d.OkEnabled());  // the output need not exist, nor have an extension

  d.soundPath = dir.File("missing.wav");
  EXPECT_FALSE(d.OkEnabled());
  d.soundPath = dir.path().string();  // a folder is not a sound file
  EXPECT_FALSE(d.OkEnabled());
  d.soundPath = dir.File("tune.wav");
  d.animationPath.clear();
  EXPECT_FALSE(d.OkEnabled());
}

}  // namespace
}  // namespace quendrolix
