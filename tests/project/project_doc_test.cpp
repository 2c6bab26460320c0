#include <gtest/gtest.h>

#include <climits>
#include <filesystem>

#include "platform/host/user_prompts.h"
#include "project/framewright_doc.h"
#include "project/project_dialogs.h"
#include "support/test_support.h"

namespace quendrolix {
namespace {
using testing::ScopedProgramFolder;
using testing::WriteText;

struct Project {
  FrameList list;
  SettingsStore store;
  CFramewrightDoc doc{list, store};

  // Rows as "name:count".
  std::vector<std::string> Rows() const {
    std::vector<std::string> rows;
    for (int r = 1; r <= list.EntryCount(); ++r)
      rows.push_back(list.Cell(r, 0) + ":" + list.Cell(r, 1));
    return rows;
  }
  void AddNamed(std::initializer_list<const char*> names) {
    for (const char* name : names) doc.AddImage(name, -1, 1);
  }
};

using Rows = std::vector<std::string>;

TEST(FrameCount, LeadingIntegerWithZeroConsumedAsOne) {
  EXPECT_EQ(FrameCountFromText("12"), 12);
  EXPECT_EQ(FrameCountFromText(" 7 frames"), 7);
  EXPECT_EQ(FrameCountFromText("abc"), 0);
  EXPECT_EQ(FrameCountFromText(""), 0);
  EXPECT_EQ(FrameCountFromText("-3"), -3);
  EXPECT_EQ(FrameCountFromText("99999999999"), INT32_MAX);
  EXPECT_EQ(ConsumedFrameCount("abc"), 1);
  EXPECT_EQ(ConsumedFrameCount("0"), 1);
  EXPECT_EQ(ConsumedFrameCount("-4"), 1);
  EXPECT_EQ(ConsumedFrameCount("5"), 5);
}

TEST(ProjectList, AddImageInsertsAfterARowAndUsesTheDefaultCount) {
  for (auto [replicate, expected] :
       {std::pair<const char*, const char*>{nullptr, "1"}, {"0", "1"}, {"-2", "1"}, {"5", "5"}}) {
    Project p;
    if (replicate) p.store.Parse(std::string("[General]\nReplicate=") + replicate + "\n");
    p.doc.ImportImages({"/x/a.bmp"});
    EXPECT_EQ(p.list.Cell(1, 1), expected) << (replicate ? replicate : "absent");
  }
  Project p;
  EXPECT_EQ(p.doc.AddImage("a", -1, 2), 1);
  EXPECT_EQ(p.doc.AddImage("c", -1, 3), 2);
  EXPECT_EQ(p.doc.AddImage("b", 1, 4), 2);
  EXPECT_EQ(p.doc.AddImage("top", 0, 0), 1);
  EXPECT_EQ(p.Rows(), (Rows{"top:1", "a:2", "b:4", "c:3"}));
  EXPECT_EQ(p.list.Cell(0, 0), "Image");
  EXPECT_EQ(p.list.Cell(0, 1), "Frames");
}

TEST(ProjectList, ImportSortsByBytesAndSharesDisplayNames) {
  ScopedProgramFolder home;
  Project p;
  DialogFolders folders(p.store);
  p.doc.ImportChosenImages({"/x/B.bmp", "/x/a.bmp", "/x/C.bmp"}, folders);
  EXPECT_EQ(p.Rows(), (Rows{"B.bmp:1", "C.bmp:1", "a.bmp:1"}));
  EXPECT_EQ(folders.ImportFolder(), "/x");

  p.doc.ImportImages({"/one/pic.bmp"});
  p.doc.ImportImages({"/two/pic.bmp"});
  EXPECT_EQ(p.list.Cell(4, 0), "pic.bmp");
  EXPECT_EQ(p.list.Cell(5, 0), "pic.bmp");
  p.list.SetFocusRow(4);
  EXPECT_EQ(p.doc.SelectedImagePath(), "/two/pic.bmp");
  EXPECT_EQ(p.doc.LookUpPath("nothing.bmp"), "");
  p.list.SetFocusRow(0);
  EXPECT_EQ(p.doc.SelectedImagePath(), "");
}

TEST(ProjectList, MovesDoNothingAtTheEndsAndSelectionFollows) {
  Project p;
  EXPECT_FALSE(p.doc.Move(MoveDirection::kLast));  // empty list, nothing selected
  p.AddNamed({"a", "b", "c", "d"});
  EXPECT_FALSE(p.doc.Move(MoveDirection::kUp));  // nothing selected
  p.list.SetFocusRow(1);
  EXPECT_FALSE(p.doc.Move(MoveDirection::kUp));
  EXPECT_FALSE(p.doc.Move(MoveDirection::kFirst));
  p.list.SetFocusRow(4);
  EXPECT_FALSE(p.doc.Move(MoveDirection::kDown));
  EXPECT_EQ(p.Rows(), (Rows{"a:1", "b:1", "c:1", "d:1"}));

  p.list.SetCell(2, 1, "7");
  p.list.SetFocusRow(2);
  EXPECT_TRUE(p.doc.Move(MoveDirection::kDown));
  EXPECT_EQ(p.Rows(), (Rows{"a:1", "c:1", "b:7", "d:1"}));
  EXPECT_EQ(p.list.FocusRow(), 3);
  EXPECT_TRUE(p.doc.Move(MoveDirection::kFirst));
  EXPECT_EQ(p.Rows(), (Rows{"b:7", "a:1", "c:1", "d:1"}));
  EXPECT_EQ(p.list.FocusRow(), 1);
  EXPECT_TRUE(p.doc.Move(MoveDirection::kLast));
  EXPECT_EQ(p.Rows(), (Rows{"a:1", "c:1", "d:1", "b:7"}));
  EXPECT_EQ(p.list.FocusRow(), 4);
  EXPECT_TRUE(p.doc.Move(MoveDirection::kUp));
  EXPECT_EQ(p.Rows(), (Rows{"a:1", "c:1", "b:7", "d:1"}));
  EXPECT_TRUE(p.doc.Move(MoveDirection::kLast));  // from the middle
  p.list.SetFocusRow(4);
  EXPECT_TRUE(p.doc.Move(MoveDirection::kLast));  // already last: order kept
  EXPECT_EQ(p.Rows(), (Rows{"a:1", "c:1", "d:1", "b:7"}));
}

TEST(ProjectList, DeleteKeepsTheNameAndMovesTheFocusSensibly) {
  Project p;
  p.doc.ImportImages({"/x/a.bmp", "/x/b.bmp", "/x/c.bmp"});
  EXPECT_FALSE(p.doc.DeleteSelected());
  p.list.SetFocusRow(3);
  EXPECT_TRUE(p.doc.DeleteSelected());
  EXPECT_EQ(p.list.FocusRow(), 2);  // the new last row
  p.list.SetFocusRow(1);
  EXPECT_TRUE(p.doc.DeleteSelected());
  EXPECT_EQ(p.Rows(), (Rows{"b.bmp:1"}));
  EXPECT_EQ(p.list.FocusRow(), 1);
  EXPECT_TRUE(p.doc.DeleteSelected());
  EXPECT_EQ(p.list.FocusRow(), FrameList::kNoRow);
  EXPECT_EQ(p.doc.LookUpPath("a.bmp"), "/x/a.bmp");
}

TEST(FrameReplication, ClampsModesAndSavesTheDefaultAtOnce) {
  testing::TempDir dir;
  Project p;
  p.store.Load(dir.File("Clipora.ini"));
  p.AddNamed({"a", "b"});
  p.list.SetCell(1, 1, "2");
  p.list.SetCell(2, 1, "10");

  FrameReplicationDialog dialog = FrameReplicationDialog::ForProject(p.doc);
  EXPECT_EQ(dialog.countText, "1");
  dialog.mode = ReplicationMode::kAddToCurrent;
  dialog.countText = "-3";
  EXPECT_EQ(dialog.Apply(p.doc), -3);
  EXPECT_EQ(p.Rows(), (Rows{"a:1", "b:7"}));

  dialog.countText = "-500";
  EXPECT_EQ(dialog.Accept(), -100);
  EXPECT_EQ(dialog.countText, "-100");
  dialog.mode = ReplicationMode::kSetForAll;
  dialog.countText = "-5";
  EXPECT_EQ(dialog.Accept(), 1);
  dialog.countText = "250x";
  EXPECT_EQ(dialog.Apply(p.doc), 100);
  EXPECT_EQ(dialog.countText, "100");
  EXPECT_EQ(p.Rows(), (Rows{"a:100", "b:100"}));
  p.list.SetCell(1, 1, "abc");
  p.doc.ReplicateFrames(-1, ReplicationMode::kAddToCurrent);
  EXPECT_EQ(p.list.Cell(1, 1), "1");

  dialog.countText = "0";
  EXPECT_TRUE(dialog.SaveAsDefault(p.doc));
  EXPECT_EQ(testing::ReadText(dir.File("Clipora.ini")), "[General]\r\nReplicate=1\r\n");
  dialog.countText = "7";
  EXPECT_TRUE(dialog.SaveAsDefault(p.doc));
  EXPECT_EQ(p.doc.DefaultFrameCount(), 7);
  EXPECT_EQ(FrameReplicationDialog::ForProject(p.doc).countText, "7");
}

TEST(AviOutputOptions, PreselectsTheDepthAndTakesTheRateUnclamped) {
  Project p;
  for (auto [bits, choice] : {std::pair{8, AviOutputOptionsDialog::k256Colours},
                              {16, AviOutputOptionsDialog::kPlentyOfColours},
                              {24, AviOutputOptionsDialog::kMillionsOfColours},
                              {12, AviOutputOptionsDialog::kMillionsOfColours}}) {
    p.doc.bitsPerPixel = static_cast<int16_t>(bits);
    EXPECT_EQ(AviOutputOptionsDialog::ForProject(p.doc).depth, choice) << bits;
  }
  p.doc.framesPerSecond = 12;
  AviOutputOptionsDialog dialog = AviOutputOptionsDialog::ForProject(p.doc);
  EXPECT_EQ(dialog.rateText, "12");
  dialog.rateText = "600 fps";
  dialog.depth = AviOutputOptionsDialog::kPlentyOfColours;
  dialog.Apply(p.doc);
  EXPECT_EQ(p.doc.framesPerSecond, 600);
  EXPECT_EQ(p.doc.bitsPerPixel, 16);

  // The sound's policy opens as the project has it and OK stores the choice.
  EXPECT_EQ(dialog.soundFit, SoundFit::kTrim);
  p.doc.soundFit = SoundFit::kKeep;
  AviOutputOptionsDialog again = AviOutputOptionsDialog::ForProject(p.doc);
  EXPECT_EQ(again.soundFit, SoundFit::kKeep);
  again.soundFit = SoundFit::kFit;
  again.Apply(p.doc);
  EXPECT_EQ(p.doc.soundFit, SoundFit::kFit);
  EXPECT_NE(std::string(AviOutputOptionsDialog::SoundFitLabel(SoundFit::kTrim)).find("0.5 s"),
            std::string::npos);
}

TEST(OutputSize, PresetsCustomSizesAndTheFit) {
  Project p;
  // A new project: the first picture's size, letterbox; the boxes offer 640 x 480.
  OutputSizeDialog dialog = OutputSizeDialog::ForProject(p.doc);
  EXPECT_EQ(dialog.preset, OutputSizeDialog::kFirstPicture);
  EXPECT_EQ(dialog.fit, PictureFit::kLetterbox);
  EXPECT_FALSE(dialog.CustomEnabled());
  EXPECT_EQ(dialog.Format(), (OutputFormat{0, 0, PictureFit::kLetterbox}));
  // A preset size is found again; any other size opens as custom with its numbers.
  p.doc.output = {1280, 720, PictureFit::kCrop};
  dialog = OutputSizeDialog::ForProject(p.doc);
  EXPECT_EQ(dialog.preset, OutputSizeDialog::k1280x720);
  EXPECT_EQ(dialog.fit, PictureFit::kCrop);
  p.doc.output = {1000, 750, PictureFit::kStretch};
  dialog = OutputSizeDialog::ForProject(p.doc);
  EXPECT_EQ(dialog.preset, OutputSizeDialog::kCustom);
  EXPECT_TRUE(dialog.CustomEnabled());
  EXPECT_EQ(dialog.widthText, "1000");
  EXPECT_EQ(dialog.heightText, "750");
  // OK with custom sides checks them; a preset ignores the boxes.
  std::string problem;
  for (const char* bad : {"0", "16385", "12a", "", "-5", "99999"}) {
    dialog.widthText = bad;
    EXPECT_FALSE(dialog.Check(problem)) << bad;
    EXPECT_NE(problem.find("1 to 16384"), std::string::npos);
  }
  dialog.widthText = " 16384 ";
  dialog.heightText = "1";
  ASSERT_TRUE(dialog.Check(problem));
  dialog.fit = PictureFit::kNone;
  dialog.Apply(p.doc);
  EXPECT_EQ(p.doc.output, (OutputFormat{16384, 1, PictureFit::kNone}));
  dialog.preset = OutputSizeDialog::k720x576;
  dialog.widthText = "nonsense";
  EXPECT_TRUE(dialog.Check(problem));
  dialog.Apply(p.doc);
  EXPECT_EQ(p.doc.output, (OutputFormat{720, 576, PictureFit::kNone}));
  dialog.preset = OutputSizeDialog::kFirstPicture;
  dialog.Apply(p.doc);
  EXPECT_FALSE(p.doc.output.HasSize());
}

TEST(Paste, SameSizeRuleNamingAndInsertPosition) {
  ScopedProgramFolder home;
  RecordingPrompts prompts;
  ScopedPrompts scoped(prompts);
  Project p;
  MainFrameState frame;
  std::vector<std::string> saved;
  auto save = [&](const std::string& path) {
    saved.push_back(path);
    WriteText(path, "BM");
    return true;
  };
  std::filesystem::create_directories(home.path() / "Images");
  WriteText(home.File("Images/Image1.bmp"), "taken");

  EXPECT_EQ(p.doc.Paste(40, 30, false, frame, save), 1);
  EXPECT_EQ(frame.projectSize, (ProjectSize{40, 30}));
  EXPECT_EQ(p.doc.Paste(40, 30, false, frame, save), 2);  // Image1.bmp exists: skipped
  EXPECT_EQ(saved, (std::vector<std::string>{home.File("Images/Image0.bmp"),
                                             home.File("Images/Image2.bmp")}));
  EXPECT_EQ(p.doc.LookUpPath("Image2.bmp"), home.File("Images/Image2.bmp"));

  EXPECT_EQ(p.doc.Paste(41, 30, true, frame, save), 0);  // automatic: refused silently
  EXPECT_TRUE(prompts.messages.empty());
  EXPECT_EQ(p.doc.Paste(41, 30, false, frame, save), 0);
  EXPECT_TRUE(prompts.HasMessage("All images must be the same size (40x30 for this project)"));

  p.AddNamed({"c", "d", "e"});  // five rows
  p.list.SetFocusRow(2);
  EXPECT_EQ(p.doc.Paste(40, 30, false, frame, save), 3);
  EXPECT_EQ(p.list.FocusRow(), 3);
  p.list.SetFocusRow(p.list.EntryCount());
  EXPECT_EQ(p.doc.Paste(40, 30, false, frame, save), 7);  // the last row: appended

  p.doc.NewProject(frame);
  EXPECT_TRUE(frame.projectSize.IsUnset());
  EXPECT_EQ(p.list.EntryCount(), 0);
  EXPECT_EQ(p.doc.title, "Untitled");
  EXPECT_EQ(p.doc.Paste(8, 8, false, frame, save), 1);
  EXPECT_EQ(p.list.Cell(1, 0), "Image5.bmp");  // numbering goes on after New

  size_t before = prompts.messages.size();
  EXPECT_EQ(p.doc.Paste(8, 8, false, frame, [](const std::string&) { return false; }), 0);
  EXPECT_EQ(prompts.messages.size(), before + 1);
  EXPECT_EQ(p.list.EntryCount(), 1);
}

TEST(OpenDocument, DecidesByExtensionAndKeepsAProjectUntilStartUp) {
  Project p;
  EXPECT_EQ(p.doc.OpenDocument("/cfg/Job.INI"), OpenOutcome::kSettingsFile);
  EXPECT_EQ(p.doc.settingsFilePath, "/cfg/Job.INI");
  EXPECT_EQ(p.doc.OpenDocument("/pics/Sky.JPEG"), OpenOutcome::kImageImported);
  EXPECT_EQ(p.Rows(), (Rows{"Sky.JPEG:1"}));
  EXPECT_EQ(p.doc.OpenDocument("/p/movie.qdx"), OpenOutcome::kPending);
  EXPECT_EQ(p.doc.pendingOpenPath, "/p/movie.qdx");
  RecordingPrompts prompts;
  ScopedPrompts scoped(prompts);
  p.doc.initialised = true;
  EXPECT_EQ(p.doc.OpenDocument("/no/such/file.qdx"), OpenOutcome::kProjectFailed);
  EXPECT_EQ(p.Rows(), (Rows{"Sky.JPEG:1"}));  // a file that cannot be opened changes nothing
  EXPECT_EQ(prompts.messages.size(), 1u);
}

// What a table model adapter sees: "about to" before each change, focus after.
TEST(FrameListObserverTest, ReportsChangesInOrder) {
  struct Recorder : FrameListObserver {
    std::vector<std::string> log;
    const FrameList* list = nullptr;
    void RowsAboutToBeInserted(int f, int c) override {
      log.push_back("+?" + std::to_string(f) + "," + std::to_string(c) + "@" +
                    std::to_string(list->RowCount()));
    }
    void RowsInserted(int f, int) override { log.push_back("+" + std::to_string(f)); }
    void RowsAboutToBeRemoved(int f, int) override { log.push_back("-?" + std::to_string(f)); }
    void RowsRemoved(int f, int) override {
      log.push_back("-" + std::to_string(f) + "@" + std::to_string(list->RowCount()));
    }
    void Reset() override { log.push_back("reset"); }
    void CellChanged(int r, int c) override {
      log.push_back("c" + std::to_string(r) + std::to_string(c));
    }
    void FocusChanged(int r) override { log.push_back("f" + std::to_string(r)); }
  } recorder;
  FrameList list;
  recorder.list = &list;
  list.AddObserver(&recorder);
  list.AppendRow();
  list.SetFocusRow(1);
  list.InsertRowAfter(0);
  list.SetCell(2, 1, "3");
  list.DeleteRow(1);
  list.ResetToHeader();
  list.RemoveObserver(&recorder);
  list.AppendRow();
  EXPECT_EQ(recorder.log, (std::vector<std::string>{"+?1,1@1", "+1", "f1", "+?1,1@2", "+1", "f2",
                                                    "c21", "-?1", "-1@2", "f1", "reset", "f-1"}));
}

}  // namespace
}  // namespace quendrolix
