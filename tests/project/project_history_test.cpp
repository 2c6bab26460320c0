// Undo and redo of the list's operations by snapshots, and the modified mark.
#include "project/project_history.h"

#include <gtest/gtest.h>

#include "platform/host/user_prompts.h"

namespace quendrolix {
namespace {

struct Project {
  FrameList list;
  SettingsStore store;
  CFramewrightDoc doc{list, store};
  ProjectHistory history{doc};

  std::vector<std::string> Rows() const {
    std::vector<std::string> rows;
    for (int r = 1; r <= list.EntryCount(); ++r)
      rows.push_back(list.Cell(r, 0) + ":" + list.Cell(r, 1));
    return rows;
  }
};
using Rows = std::vector<std::string>;

TEST(ProjectHistoryTest, EachOperationUndoesAndRedoesAsOneStep) {
  RecordingPrompts prompts;
  ScopedPrompts scoped(prompts);
  Project p;
  EXPECT_FALSE(p.history.IsModified());
  EXPECT_FALSE(p.history.Undo());
  p.doc.ImportImages({"/x/a.bmp", "/x/b.bmp", "/x/c.bmp"});
  EXPECT_TRUE(p.history.Checkpoint());
  const Rows imported = {"a.bmp:1", "b.bmp:1", "c.bmp:1"};
  EXPECT_TRUE(p.history.IsModified());

  // Every operation, then its undo and redo.
  struct Step {
    const char* what;
    std::function<void()> run;
    Rows after;
  };
  const Step steps[] = {
      {"select c, move up",
       [&] {
         p.list.SetFocusRow(3);
         p.doc.Move(MoveDirection::kUp);
       },
       {"a.bmp:1", "c.bmp:1", "b.bmp:1"}},
      {"move first", [&] { p.doc.Move(MoveDirection::kFirst); }, {"c.bmp:1", "a.bmp:1", "b.bmp:1"}},
      {"move last", [&] { p.doc.Move(MoveDirection::kLast); }, {"a.bmp:1", "b.bmp:1", "c.bmp:1"}},
      {"select a, move down",
       [&] {
         p.list.SetFocusRow(1);
         p.doc.Move(MoveDirection::kDown);
       },
       {"b.bmp:1", "a.bmp:1", "c.bmp:1"}},
      {"frame count",
       [&] { p.list.SetCell(1, FrameList::kFramesColumn, "7"); },
       {"b.bmp:7", "a.bmp:1", "c.bmp:1"}},
      {"replication",
       [&] { p.doc.ReplicateFrames(2, ReplicationMode::kAddToCurrent); },
       {"b.bmp:9", "a.bmp:3", "c.bmp:3"}},
      {"delete",
       [&] {
         p.list.SetFocusRow(2);
         p.doc.DeleteSelected();
       },
       {"b.bmp:9", "c.bmp:3"}},
      {"paste",
       [&] { p.doc.AddImage("Image1.bmp", 1, 1); },
       {"b.bmp:9", "Image1.bmp:1", "c.bmp:3"}},
  };
  Rows before = imported;
  for (const Step& step : steps) {
    SCOPED_TRACE(step.what);
    step.run();
    EXPECT_EQ(p.Rows(), step.after);
    ASSERT_TRUE(p.history.Checkpoint());
    ASSERT_TRUE(p.history.Undo());
    EXPECT_EQ(p.Rows(), before);
    ASSERT_TRUE(p.history.Redo());
    EXPECT_EQ(p.Rows(), step.after);
    EXPECT_FALSE(p.history.Redo());
    before = step.after;
  }
  // Sound attached and detached, each a step.
  p.doc.AttachSound("/x/song.wav");
  p.history.Checkpoint();
  p.doc.DetachSound();
  p.history.Checkpoint();
  ASSERT_TRUE(p.history.Undo());
  EXPECT_EQ(p.doc.soundFile(), "/x/song.wav");
  ASSERT_TRUE(p.history.Undo());
  EXPECT_EQ(p.doc.soundFile(), "");
  ASSERT_TRUE(p.history.Redo());
  EXPECT_EQ(p.doc.soundFile(), "/x/song.wav");

  // All the way back to the empty list (ten steps: the detach waits to be redone), and
  // forward again to the detached sound.
  int stepsBack = 0;
  while (p.history.Undo()) ++stepsBack;
  EXPECT_EQ(stepsBack, 10);
  EXPECT_TRUE(p.Rows().empty());
  EXPECT_FALSE(p.history.IsModified());
  int stepsForward = 0;
  while (p.history.Redo()) ++stepsForward;
  EXPECT_EQ(stepsForward, 11);
  EXPECT_EQ(p.Rows(), before);
  EXPECT_EQ(p.doc.soundFile(), "");
}

TEST(ProjectHistoryTest, ANewEditDropsRedoAndSelectionIsNoStep) {
  Project p;
  p.doc.AddImage("a", -1, 1);
  p.history.Checkpoint();
  p.doc.AddImage("b", -1, 1);
  p.history.Checkpoint();
  ASSERT_TRUE(p.history.Undo());
  EXPECT_TRUE(p.history.CanRedo());
  // A selection alone changes nothing to undo.
  p.list.SetFocusRow(1);
  EXPECT_FALSE(p.history.Checkpoint());
  EXPECT_TRUE(p.history.CanRedo());
  // An edit not yet checkpointed is undone first, and drops the redo.
  p.doc.AddImage("c", -1, 1);
  EXPECT_FALSE(p.history.Redo());
  EXPECT_EQ(p.Rows(), (Rows{"a:1", "c:1"}));
  ASSERT_TRUE(p.history.Undo());
  EXPECT_EQ(p.Rows(), (Rows{"a:1"}));
  // The history holds a bounded number of steps.
  for (size_t i = 0; i < ProjectHistory::kMaxSteps + 20; ++i) {
    p.doc.AddImage("x", -1, 1);
    p.history.Checkpoint();
  }
  size_t back = 0;
  while (p.history.Undo()) ++back;
  EXPECT_EQ(back, ProjectHistory::kMaxSteps);
}

TEST(ProjectHistoryTest, ModifiedComparesWithWhatWasSavedOrOpened) {
  Project p;
  p.doc.AddImage("a", -1, 1);
  p.history.Checkpoint();
  EXPECT_TRUE(p.history.IsModified());
  p.history.MarkSaved();
  EXPECT_FALSE(p.history.IsModified());
  p.doc.framesPerSecond = 25;  // the rate is part of the file
  EXPECT_TRUE(p.history.IsModified());
  p.doc.framesPerSecond = 10;
  p.list.SetCell(1, FrameList::kFramesColumn, "4");
  EXPECT_TRUE(p.history.IsModified());
  p.list.SetCell(1, FrameList::kFramesColumn, "1");  // back to what was saved
  EXPECT_FALSE(p.history.IsModified());
  p.doc.AddImage("b", -1, 1);
  p.history.Checkpoint();
  p.history.Reset();  // a project opened: nothing to undo, nothing modified
  EXPECT_FALSE(p.history.IsModified());
  EXPECT_FALSE(p.history.CanUndo());
}

}  // namespace
}  // namespace quendrolix
