#include "project/startup_sequence.h"

#include <gtest/gtest.h>

#include "platform/host/user_prompts.h"
#include "project/project_file.h"
#include "support/test_support.h"

namespace quendrolix {
namespace {
using testing::RunCli;
using testing::ScopedProgramFolder;
using testing::WriteText;

struct Start {
  FrameList list;
  SettingsStore store;
  CFramewrightDoc doc{list, store};
  ViewSettings view;
  RecordingPrompts prompts;
  ScopedPrompts scoped{prompts};
};

TEST(StartupSequence, FillsTheProjectFromAJobFile) {
  ScopedProgramFolder home;
  std::string ini = home.File("job.ini");
  WriteText(
      ini,
      "[General]\r\nFPS = 15\r\nBPP=16\r\nScreenColor=10,20,30\r\nFrameImages=0\r\n"
      "Sound=/s/chord.wav\r\nOutput=/out/x.avi\r\n"
      "[Logo]\r\nbUseTransparent=1\r\nnXPos=5\r\ncrTrans=255,128,0\r\n"
      "[Images]\r\n0=/pics/a.bmp,4\r\n1=/pics/b.bmp\r\n2=/pics/noext,0\r\n4=/pics/never.bmp\r\n");
  Start s;
  s.doc.OpenDocument(ini);
  StartupReport report = RunStartupSequence(s.doc, s.view, 24);
  EXPECT_TRUE(report.settingsLoaded);
  EXPECT_TRUE(s.doc.initialised);
  EXPECT_EQ(DescribeProject(s.doc),
            "fps: 10\nbpp: 16\nsound: /s/chord.wav\nsize: first picture\nfit: letterbox\nsound fit: trim\n"
            "1\ta.bmp\t4\t/pics/a.bmp\n2\tb.bmp\t1\t/pics/b.bmp\n3\tnoext.\t1\t/pics/noext\n");
  EXPECT_EQ(s.view.backgroundColour, 0x001E140Au);
  EXPECT_EQ(s.view.frameImages, 0);
  EXPECT_EQ(s.view.autoBuild, 0);
  EXPECT_EQ(s.doc.outputFile, "/out/x.avi");
  EXPECT_EQ(s.doc.logo.bUseLogo, 1);  // kept when missing
  EXPECT_EQ(s.doc.logo.bUseTransparent, 1);
  EXPECT_EQ(s.doc.logo.nXPos, 5);
  EXPECT_EQ(s.doc.logo.crTrans, 0x000080FFu);
  EXPECT_EQ(s.doc.logo.sLogoFile, "");  // empty when missing
  EXPECT_EQ(s.list.FocusRow(), 1);
  EXPECT_FALSE(report.batchBuildRequested);
  EXPECT_TRUE(s.prompts.messages.empty());
}

TEST(StartupSequence, DefaultsHooksWarningAndThePendingProject) {
  ScopedProgramFolder home;
  WriteText(home.File("Clipora.ini"), "[General]\nAuto=1\n[Images]\n0=/pics/from-settings.bmp\n");
  WriteText(home.File("AVI.codec"), "codec");
  // A project named on the command line replaces the list start-up made.
  Start other;
  other.doc.ImportImages({"/pics/from-project.bmp"});
  WriteText(home.File("p.qdx"), WriteProject(other.doc));

  Start s;
  s.doc.OpenDocument("/pics/cmdline.png");  // an image on the command line stays
  EXPECT_EQ(s.doc.OpenDocument(home.File("p.qdx")), OpenOutcome::kPending);
  std::vector<std::string> calls;
  StartupHooks hooks;
  hooks.loadGifSettings = [&](SettingsStore& store) {
    calls.push_back("gif:" + std::to_string(store.HasKey("General", "Auto")));
  };
  hooks.loadCodecOptions = [&](const std::string& path) { calls.push_back("codec:" + path); };
  hooks.prepareLogo = [&](CFramewrightDoc&) { calls.push_back("logo"); };
  hooks.startBatchTimer = [&] { calls.push_back("timer"); };
  hooks.openPendingDocument = [&](const std::string& path) {
    calls.push_back("open:" + s.doc.pathName + ":" + std::to_string(s.list.EntryCount()));
    s.doc.OpenDocument(path);
  };
  StartupReport report = RunStartupSequence(s.doc, s.view, 16, hooks);

  EXPECT_EQ(s.doc.settingsFilePath, home.File("Clipora.ini"));
  EXPECT_EQ(calls, (std::vector<std::string>{"gif:1", "codec:" + home.File("AVI.codec"), "logo",
                                             "timer", "open: :2"}));
  EXPECT_TRUE(report.batchBuildRequested);
  EXPECT_EQ(s.prompts.messages, std::vector<std::string>{kScreenDepthWarning});
  EXPECT_EQ(s.doc.pendingOpenPath, "");
  EXPECT_EQ(s.list.EntryCount(), 1);
  EXPECT_EQ(s.list.Cell(1, 0), "from-project.bmp");

  // No settings file at all: the defaults, and nothing to load.
  ScopedProgramFolder empty;
  Start d;
  d.view.backgroundColour = 0x123;
  calls.clear();
  report = RunStartupSequence(d.doc, d.view, 32, hooks);
  EXPECT_FALSE(report.settingsLoaded);
  EXPECT_EQ(calls, (std::vector<std::string>{"gif:0", "logo"}));
  EXPECT_EQ(d.doc.framesPerSecond, 10);
  EXPECT_EQ(d.doc.bitsPerPixel, 24);
  EXPECT_EQ(d.view.backgroundColour, 0x123u);
  EXPECT_EQ(d.list.EntryCount(), 0);
  EXPECT_TRUE(d.prompts.messages.empty());
}

TEST(StartupSequenceCli, RunPrintsTheProjectOrBuildsItUnattended) {
  testing::TempDir dir;
  WriteText(dir.File("job.ini"), "[General]\nBPP=8\n[Images]\n0=/p/a.bmp,2\n1=/p/b.bmp\n");
  auto shown = RunCli({"--home", dir.File("home"), "run", dir.File("job.ini")});
  EXPECT_EQ(shown.status, 0) << shown.errors;
  EXPECT_EQ(shown.output,
            "fps: 10\nbpp: 8\nsound: \nsize: first picture\nfit: letterbox\nsound fit: trim\n1\ta.bmp\t2\t/p/a.bmp\n2\tb.bmp\t1\t/p/b.bmp\n");

  WriteText(dir.File("auto.ini"), "[General]\nAuto=1\nOutput=/out/a.avi\n");
  // A job without images fails as the builder fails on an empty list.
  auto refused = RunCli({"--home", dir.File("home"), "run", dir.File("auto.ini")});
  EXPECT_EQ(refused.status, 1);
  EXPECT_NE(refused.errors.find("Codec error (1): No bitmaps specified"), std::string::npos)
      << refused.errors;
  EXPECT_EQ(refused.output, "");
  EXPECT_EQ(RunCli({"run"}).status, 2);
}

}  // namespace
}  // namespace quendrolix
