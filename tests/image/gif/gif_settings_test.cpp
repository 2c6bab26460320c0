#include <gtest/gtest.h>

#include "image/gif/gif_options_dialog.h"
#include "image/gif/gif_output_settings.h"
#include "project/startup_sequence.h"
#include "support/test_support.h"

namespace quendrolix {
namespace {
using testing::ReadText;
using testing::ScopedProgramFolder;
using testing::TempDir;
using testing::WriteText;

constexpr const char* kSection = "Gif Settings";

TEST(GifOutputSettings, WritesTheSixKeysInOrderAsSixteenBitNumbers) {
  GifOutputSettings s;
  s.SetGlobalColormap(false);
  s.SetInterlaced(true);
  s.SetTransparency(200);
  s.SetPlay(0);
  s.SetShowDialog(false);
  s.SetGlobalDelay(60000);  // the spin's top: beyond a signed 16-bit number
  SettingsStore store;
  s.Serialize(store, false);
  EXPECT_EQ(store.Serialize(),
            "[Gif Settings]\r\nGlobalColormap=0\r\nInterlaced=1\r\nTransparency=200\r\nPlay=0\r\n"
            "ShowDlg=0\r\nGlobalDelay=-5536\r\n");

  GifOutputSettings back;
  back.Serialize(store, true);
  EXPECT_EQ(back, s);
  EXPECT_EQ(back.GlobalDelay(), 60000);
}

TEST(GifOutputSettings, LoadingReplacesOnlyThePresentKeys) {
  GifOutputSettings defaults;
  EXPECT_TRUE(defaults.GlobalColormap());
  EXPECT_FALSE(defaults.Interlaced());
  EXPECT_EQ(defaults.Transparency(), -1);
  EXPECT_EQ(defaults.Play(), 1);
  EXPECT_TRUE(defaults.ShowDialog());
  EXPECT_EQ(defaults.GlobalDelay(), 100);

  // No section: every default stays.
  SettingsStore store;
  store.Parse("[General]\r\nFPS=10\r\n[gif settings]\r\nPlay=7\r\n");
  GifOutputSettings s;
  s.Serialize(store, true);
  EXPECT_EQ(s, defaults);

  // Flags are on for any non-zero number; play keeps its low 8 bits; a missing key
  // keeps the value in force, not the default.
  s.SetInterlaced(true);
  store.Parse(
      "[Gif Settings]\r\nGlobalColormap=-2\r\nShowDlg=0 \r\nPlay=300\r\n"
      "Transparency=12abc\r\n");
  s.Serialize(store, true);
  EXPECT_TRUE(s.GlobalColormap());
  EXPECT_FALSE(s.ShowDialog());
  EXPECT_EQ(s.Play(), 300 & 0xFF);
  EXPECT_EQ(s.Transparency(), 12);
  EXPECT_TRUE(s.Interlaced());
  EXPECT_EQ(s.GlobalDelay(), 100);
}

TEST(GifOutputSettings, StartUpLoadsTheProgramWideOptionsThroughTheHook) {
  ScopedProgramFolder home;
  WriteText(home.File("Clipora.ini"), "[Gif Settings]\r\nGlobalDelay=25\r\nInterlaced=1\r\n");
  GifOutputSettings saved = TheGifOutputSettings();
  FrameList list;
  SettingsStore store;
  CFramewrightDoc doc(list, store);
  ViewSettings view;
  StartupHooks hooks;
  InstallGifSettingsHook(hooks);
  RunStartupSequence(doc, view, 24, hooks);
  EXPECT_EQ(TheGifOutputSettings().GlobalDelay(), 25);
  EXPECT_TRUE(TheGifOutputSettings().Interlaced());
  EXPECT_EQ(TheGifOutputSettings().Play(), 1);
  TheGifOutputSettings() = saved;
}

TEST(GifOutputOptionsDialog, FillsTheControlsAndEnablesTheEditsBesideTheirButtons) {
  GifOutputSettings s;
  auto d = GifOutputOptionsDialog::Open(s);
  EXPECT_FALSE(d.transparency);
  EXPECT_EQ(d.entryText, "0");
  EXPECT_FALSE(d.EntryEditEnabled());
  EXPECT_FALSE(d.loopForever);
  EXPECT_EQ(d.repeatText, "1");
  EXPECT_TRUE(d.RepeatEditEnabled());
  EXPECT_EQ(d.delayText, "100");

  s.SetTransparency(17);
  s.SetPlay(0);
  d = GifOutputOptionsDialog::Open(s);
  EXPECT_TRUE(d.transparency);
  EXPECT_EQ(d.entryText, "17");
  EXPECT_TRUE(d.loopForever);
  EXPECT_EQ(d.repeatText, "0");  // the play value is shown either way
  EXPECT_FALSE(d.RepeatEditEnabled());

  d.ChooseRepeat();
  EXPECT_TRUE(d.RepeatEditEnabled());
  EXPECT_EQ(d.focusControl, GifOutputOptionsDialog::kRepeatEdit);
  d.ChooseNoTransparency();
  EXPECT_FALSE(d.EntryEditEnabled());
  d.ChooseTransparency();
  EXPECT_TRUE(d.EntryEditEnabled());
  EXPECT_EQ(d.focusControl, GifOutputOptionsDialog::kTransparencyEdit);
  d.ChooseLoopForever();
  EXPECT_FALSE(d.RepeatEditEnabled());
}

TEST(GifOutputOptionsDialog, TakesTheSettingsWithItsClamps) {
  auto d = GifOutputOptionsDialog::Open(GifOutputSettings{});
  auto play = [&](const char* text) {
    d.ChooseRepeat();
    d.repeatText = text;
    return static_cast<int>(d.Taken().Play());
  };
  EXPECT_EQ(play("300"), 255);
  EXPECT_EQ(play("256"), 255);
  EXPECT_EQ(play("255"), 255);
  EXPECT_EQ(play("0"), 1);
  EXPECT_EQ(play("-4"), 1);
  EXPECT_EQ(play("seven"), 1);
  EXPECT_EQ(play("12"), 12);
  d.ChooseLoopForever();
  EXPECT_EQ(d.Taken().Play(), 0);  // whatever the edit holds

  auto entry = [&](const char* text) {
    d.ChooseTransparency();
    d.entryText = text;
    return static_cast<int>(d.Taken().Transparency());
  };
  EXPECT_EQ(entry("256"), -1);
  EXPECT_EQ(entry("-3"), -1);
  EXPECT_EQ(entry("255"), 255);
  EXPECT_EQ(entry("0"), 0);
  EXPECT_EQ(entry("x"), 0);  // not a number reads as 0
  d.entryText = "40";
  d.ChooseNoTransparency();
  EXPECT_EQ(d.Taken().Transparency(), -1);

  d.delayText = "70000";  // not range-checked; kept to the 16 bits of the setting
  EXPECT_EQ(d.Taken().GlobalDelay(), 70000 & 0xFFFF);
  d.delayText = "0";
  EXPECT_EQ(d.Taken().GlobalDelay(), 0);

  d.globalColormap = false;
  d.interlaced = true;
  d.showDialog = false;
  GifOutputSettings t = d.Taken();
  EXPECT_FALSE(t.GlobalColormap());
  EXPECT_TRUE(t.Interlaced());
  EXPECT_FALSE(t.ShowDialog());

  // An out-of-range entry comes back as "&No transparency".
  d.ChooseTransparency();
  d.entryText = "256";
  auto reopened = GifOutputOptionsDialog::Open(d.Taken());
  EXPECT_FALSE(reopened.transparency);
  EXPECT_EQ(reopened.entryText, "0");
}

TEST(GifOutputOptionsDialog, OkAppliesSaveWritesAndResetRereadsTheStore) {
  TempDir dir;
  std::string ini = dir.File("Clipora.ini");
  WriteText(ini, "[General]\r\nFPS=12\r\n");
  SettingsStore store;
  ASSERT_TRUE(store.Load(ini));
  GifOutputSettings program;

  auto d = GifOutputOptionsDialog::Open(program);
  d.ChooseRepeat();
  d.repeatText = "3";
  d.delayText = "40";
  d.Ok(program);
  EXPECT_EQ(program.Play(), 3);
  EXPECT_EQ(program.GlobalDelay(), 40);
  EXPECT_FALSE(store.changed());  // OK writes nothing
  EXPECT_EQ(ReadText(ini), "[General]\r\nFPS=12\r\n");

  d.ChooseTransparency();
  d.entryText = "9";
  ASSERT_TRUE(d.SaveAsDefault(program, store));
  EXPECT_EQ(program.Transparency(), 9);
  EXPECT_EQ(ReadText(ini),
            "[General]\r\nFPS=12\r\n[Gif Settings]\r\nGlobalColormap=1\r\nInterlaced=0\r\n"
            "Transparency=9\r\nPlay=3\r\nShowDlg=1\r\nGlobalDelay=40\r\n");

  // Reset reads the keys again; a key missing from the store keeps the value the dialog
  // was opened with, and the program's settings stay as they are until OK.
  store.Parse("[Gif Settings]\r\nPlay=0\r\nTransparency=-1\r\n");
  GifOutputSettings before = program;
  auto e = GifOutputOptionsDialog::Open(program);
  e.delayText = "5";
  e.interlaced = true;
  e.ResetToDefault(store);
  EXPECT_TRUE(e.loopForever);
  EXPECT_FALSE(e.transparency);
  EXPECT_EQ(e.delayText, "40");
  EXPECT_FALSE(e.interlaced);
  EXPECT_EQ(program, before);
  e.Ok(program);
  EXPECT_EQ(program.Play(), 0);
  EXPECT_EQ(program.Transparency(), -1);
}

}  // namespace
}  // namespace quendrolix
