#include "project/settings_store.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "support/test_support.h"

namespace quendrolix {
namespace {
using testing::ReadText;
using testing::ScopedProgramFolder;
using testing::TempDir;
using testing::WriteText;

TEST(SettingsStoreParse, KeepsKeysAndValuesExactlyAsWritten) {
  SettingsStore store;
  store.Parse(
      "Orphan=1\r\n"
      "  [General]  \r\n"
      "FPS = 15\r\n"
      "BPP=16\r\n"
      "; FPS=99\r\n"
      "\r\n"
      "Just A Line\r\n"
      "BPP=8\r\n"
      "[Unclosed\n"
      "k=v=w\n");
  int16_t fps = 10;
  EXPECT_FALSE(store.GetInteger("General", "FPS", fps));  // the key is "FPS "
  EXPECT_EQ(fps, 10);
  EXPECT_TRUE(store.GetInteger("General", "FPS ", fps));
  EXPECT_EQ(fps, 15);
  int16_t bpp = 0;
  EXPECT_TRUE(store.GetInteger("General", "BPP", bpp));
  EXPECT_EQ(bpp, 8);  // the later line wins
  std::string text;
  EXPECT_TRUE(store.GetString("General", "just a line", text));
  EXPECT_EQ(text, "Just A Line");
  EXPECT_FALSE(store.GetString("general", "BPP", text));  // names are case-sensitive
  EXPECT_TRUE(text.empty());
  EXPECT_TRUE(store.GetString("Unclosed", "k", text));
  EXPECT_EQ(text, "v=w");
  EXPECT_FALSE(store.HasKey("", "Orphan"));
  EXPECT_EQ(store.Sections(), (std::vector<std::string>{"General", "Unclosed"}));
}

TEST(SettingsStoreValues, IntegersAndColoursAsTheProgramReadsThem) {
  SettingsStore store;
  store.Parse(
      "[Logo]\n"
      "crTrans=255,128,0\n"
      "Short=1,2\n"
      "Wide=300,-1,256\n"
      "n=12abc\n"
      "big=70000\n"
      "neg=-5\n"
      "word=abc\n");
  uint32_t colour = 0xDEAD;
  EXPECT_TRUE(store.GetColour("Logo", "crTrans", colour));
  EXPECT_EQ(colour, 0x000080FFu);
  EXPECT_TRUE(store.GetColour("Logo", "Short", colour));
  EXPECT_EQ(colour, 0x00000201u);
  EXPECT_TRUE(store.GetColour("Logo", "Wide", colour));  // each part is one byte
  EXPECT_EQ(colour, 0x0000FF2Cu);
  colour = 0x123456;
  EXPECT_FALSE(store.GetColour("Logo", "missing", colour));
  EXPECT_EQ(colour, 0x123456u);

  int16_t value = 0;
  EXPECT_TRUE(store.GetInteger("Logo", "n", value));
  EXPECT_EQ(value, 12);
  EXPECT_TRUE(store.GetInteger("Logo", "big", value));
  EXPECT_EQ(value, static_cast<int16_t>(70000));
  EXPECT_TRUE(store.GetInteger("Logo", "neg", value));
  EXPECT_EQ(value, -5);
  EXPECT_TRUE(store.GetInteger("Logo", "word", value));
  EXPECT_EQ(value, 0);
}

TEST(SettingsStoreValues, WritesFormsAndEmptyStringRemovesTheKey) {
  SettingsStore store;
  store.Parse("[Logo]\nsLogoFile=/x/logo.bmp\nnXPos=3\n");
  EXPECT_FALSE(store.changed());
  store.SetString("Logo", "sLogoFile", "");
  EXPECT_TRUE(store.changed());
  EXPECT_FALSE(store.HasKey("Logo", "sLogoFile"));
  store.SetColour("Logo", "crTrans", 0x000080FF);
  store.SetInteger("Logo", "nYPos", -7);
  store.SetString("Notes", "text", "one\ntwo", /*multiLine=*/true);
  EXPECT_EQ(store.Serialize(),
            "[Logo]\r\nnXPos=3\r\ncrTrans=255,128,0\r\nnYPos=-7\r\n[Notes]\r\ntext=one`two\r\n");
  std::string text;
  store.GetString("Notes", "text", text, true);
  EXPECT_EQ(text, "one\ntwo");
  store.GetIndexed("Notes", 0, text);
  EXPECT_TRUE(text.empty());
}

TEST(SettingsStoreFile, SavesOnlyWhenWritableAndChangedAndRoundTrips) {
  TempDir dir;
  std::string path = dir.File("Clipora.ini");
  WriteText(path, "[General]\nScreenColor=1,2,3\n[Images]\n0=/a.bmp,4\n");
  SettingsStore store;
  ASSERT_TRUE(store.Load(path));
  EXPECT_FALSE(store.Save());  // nothing changed: the file is left alone
  store.SetColour("General", "ScreenColor", 0x00030201 + 1);
  // Until saved, the file keeps the old value.
  EXPECT_NE(ReadText(path).find("ScreenColor=1,2,3"), std::string::npos);
  store.SetWritable(false);
  EXPECT_FALSE(store.Save());
  store.SetWritable(true);
  ASSERT_TRUE(store.Save());
  EXPECT_EQ(ReadText(path), "[General]\r\nScreenColor=2,2,3\r\n[Images]\r\n0=/a.bmp,4\r\n");

  SettingsStore again;
  ASSERT_TRUE(again.Load(path));
  EXPECT_EQ(again.Serialize(), store.Serialize());
  EXPECT_FALSE(again.changed());

  SettingsStore missing;
  EXPECT_FALSE(missing.Load(dir.File("none.ini")));
  EXPECT_TRUE(missing.Sections().empty());
  missing.SetInteger("General", "Replicate", 5);
  ASSERT_TRUE(missing.Save());  // a missing file is created when there is something to save
  EXPECT_EQ(ReadText(dir.File("none.ini")), "[General]\r\nReplicate=5\r\n");
}

// Saves in a child process whose file-size limit is too small for the new text; the old
// file must survive whole and no temporary file may be left beside it.
TEST(SettingsStoreFile, FailedSaveKeepsTheOldFile) {
  TempDir dir;
  std::string path = dir.File("Clipora.ini");
  const std::string old = "[General]\r\nFPS=12\r\n";
  WriteText(path, old);
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    signal(SIGXFSZ, SIG_IGN);
    rlimit limit{100, 100};
    setrlimit(RLIMIT_FSIZE, &limit);
    SettingsStore store;
    store.Load(path);
    store.SetString("General", "Long", std::string(4000, 'x'));
    _exit(store.Save() ? 0 : 3);
  }
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 3);
  EXPECT_EQ(ReadText(path), old);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);

  SettingsStore store;
  store.Load(dir.File("no/such/folder/x.ini"));
  store.SetInteger("General", "FPS", 1);
  EXPECT_FALSE(store.Save());
}

TEST(DialogFoldersTest, DefaultsToImagesAndRemembersChosenFolders) {
  ScopedProgramFolder home;
  SettingsStore store;
  DialogFolders folders(store);
  EXPECT_EQ(folders.ImportFolder(), home.File("Images"));
  EXPECT_EQ(folders.SaveFolder(), home.File("Images"));

  folders.RememberOpened("/pics/one/a.bmp");
  EXPECT_EQ(folders.ImportFolder(), "/pics/one");
  EXPECT_EQ(folders.SaveFolder(), home.File("Images"));
  std::string key;
  EXPECT_TRUE(store.GetString("General", "ImportPath", key));
  EXPECT_EQ(key, "/pics/one");

  folders.RememberSaved("/out/movie.avi", /*alsoOther=*/true);  // AVI, MPG and sound dialogs
  EXPECT_EQ(folders.SaveFolder(), "/out");
  EXPECT_EQ(folders.ImportFolder(), "/out");

  SettingsStore stored;
  stored.Parse("[General]\nSavePath=/kept\n");
  DialogFolders fromFile(stored);
  EXPECT_EQ(fromFile.SaveFolder(), "/kept");
}

}  // namespace
}  // namespace quendrolix
