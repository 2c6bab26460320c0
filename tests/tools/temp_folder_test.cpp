// The program's temporary folder: emptied of its own plain files only.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "tools/temp_folder.h"
#include "support/test_support.h"

namespace quendrolix {
namespace {
using namespace testing;
namespace fs = std::filesystem;

TEST(TempFolder, EmptyingTakesOnlyThePlainFilesOfTheProgramsOwnFolder) {
  ScopedProgramFolder home;
  TempDir outside;
  const std::string temp = ProgramTempFolder();
  EXPECT_EQ(temp, home.File("Temp") + "/");
  EXPECT_FALSE(TempFolderExists(temp));
  ASSERT_TRUE(CreateTempFolder(temp));
  ASSERT_TRUE(TempFolderExists(temp));

  WriteText(temp + "Img0000.bmp", "a");
  WriteText(temp + "Img0001.bmp", "b");
  WriteText(temp + ".hidden", "h");
  WriteText(temp + "locked.bmp", "r");
  fs::permissions(temp + "locked.bmp", fs::perms::owner_read, fs::perm_options::replace);
  fs::create_directory(temp + "sub");
  WriteText(temp + "sub/inner.bmp", "i");
  WriteText(outside.File("precious.bmp"), "p");
  fs::create_symlink(outside.File("precious.bmp"), temp + "link.bmp");
  fs::create_directory_symlink(outside.path(), temp + "linked");

  // Another folder, even with the same files, is never emptied.
  WriteText(outside.File("Img0000.bmp"), "x");
  EXPECT_FALSE(EmptyTempFolder(outside.path().string()));
  EXPECT_TRUE(fs::exists(outside.File("Img0000.bmp")));

  const fs::path before = fs::current_path();
  EXPECT_TRUE(EmptyTempFolder(home.path().string() + "/./Temp"));  // however spelt
  EXPECT_EQ(fs::current_path(), before);
  EXPECT_FALSE(fs::exists(temp + "Img0000.bmp"));
  EXPECT_FALSE(fs::exists(temp + "Img0001.bmp"));
  EXPECT_TRUE(fs::exists(temp + ".hidden"));
  EXPECT_TRUE(fs::exists(temp + "locked.bmp"));
  EXPECT_TRUE(fs::exists(temp + "sub/inner.bmp"));
  EXPECT_TRUE(fs::is_symlink(temp + "link.bmp"));
  EXPECT_TRUE(fs::exists(outside.File("precious.bmp")));
  EXPECT_TRUE(fs::exists(outside.File("Img0000.bmp")));
  fs::permissions(temp + "locked.bmp", fs::perms::owner_all, fs::perm_options::replace);
}

}  // namespace
}  // namespace quendrolix
