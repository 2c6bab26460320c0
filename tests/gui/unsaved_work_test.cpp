#include "unsaved_work_test.h"

#include <QAction>
#include <QClipboard>
#include <QMimeData>
#include <QPushButton>
#include <QtTest>
#include <filesystem>

#include "command_table.h"
#include "frame_replication_dlg.h"
#include "gui_session.h"
#include "support/avi_fixtures.h"

using namespace quendrolix;
using namespace quendrolix::app;
using quendrolix::gui_testing::Session;
namespace fs = std::filesystem;
namespace qt = quendrolix::testing;

namespace {

// A saved project of one picture, "other.qdx", beside a session's files.
QString OtherProject(Session& s) {
  const std::string picture = qt::WritePatternBmp(s.home.File("other.bmp"), 16, 16, 4);
  const std::string project = s.home.File("other.qdx");
  auto made =
      qt::RunCli({"--home", s.home.path().string(), "project", "new", project, picture + ",4"});
  if (made.status != 0) return {};
  return QString::fromStdString(project);
}

void Drop(Session& s, const QString& path) {
  QMimeData data;
  data.setUrls({QUrl::fromLocalFile(path)});
  QDragEnterEvent enter(QPoint(300, 200), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(s.frame(), &enter);
  QDropEvent drop(QPointF(300, 200), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(s.frame(), &drop);
}

void Settle() {
  QCoreApplication::processEvents();
  QCoreApplication::processEvents();
}

}  // namespace

void UnsavedWorkTest::eachSavePromptAndItsThreeAnswers() {
  enum class Way { kNew, kOpen, kRecent, kDrop, kExit, kClose };
  const std::pair<Way, const char*> ways[] = {
      {Way::kNew, "New"},   {Way::kOpen, "Open"}, {Way::kRecent, "recent file"},
      {Way::kDrop, "drop"}, {Way::kExit, "Exit"}, {Way::kClose, "close"}};
  for (auto [way, label] : ways)
    for (PromptAnswer answer : {PromptAnswer::kCancel, PromptAnswer::kNo, PromptAnswer::kYes}) {
      const std::string trace = std::string(label) + " answered " +
                                (answer == PromptAnswer::kYes  ? "Yes"
                                 : answer == PromptAnswer::kNo ? "No"
                                                               : "Cancel");
      Session s;
      QVERIFY(s.Start());
      const QString other = OtherProject(s);
      QVERIFY(!other.isEmpty());
      QCOMPARE(s.frame()->windowTitle(), QString("Untitled - Quendrolix Media Editor"));
      const std::string mine = qt::WritePatternBmp(s.home.File("mine.bmp"), 16, 16, 7);
      s.frame()->ImportFiles({QString::fromStdString(mine)});
      Settle();
      QCOMPARE(s.frame()->windowTitle(), QString("*Untitled - Quendrolix Media Editor"));

      s.prompts.threeWayAnswers = {answer};
      s.chooser.saveAnswers << s.File("mine.qdx");  // Yes on a new project: Save As
      switch (way) {
        case Way::kNew:
          s.frame()->Action(kIdNewProject)->trigger();
          break;
        case Way::kOpen:
          s.chooser.openAnswers << QStringList{other};
          s.frame()->Action(kIdOpenProject)->trigger();
          break;
        case Way::kRecent:
          s.app->recentFiles().Add(other);
          s.frame()->RebuildRecentFileMenu();
          s.app->OnOpenRecentFile(0);
          break;
        case Way::kDrop:
          Drop(s, other);
          break;
        case Way::kExit:
          s.frame()->Action(kIdExit)->trigger();
          break;
        case Way::kClose:
          s.frame()->close();
          break;
      }
      Settle();
      QVERIFY2(s.prompts.questions.size() == 1,
               (trace + ": " + std::to_string(s.prompts.questions.size()) + " questions").c_str());
      QCOMPARE(s.prompts.questions[0], std::string("Save changes to Untitled?"));
      const bool saved = fs::exists(s.home.File("mine.qdx"));
      QVERIFY2(saved == (answer == PromptAnswer::kYes), trace.c_str());
      if (answer == PromptAnswer::kCancel) {
        // Nothing happened: the same list, still modified, the window open.
        QVERIFY2(s.Rows() == QStringList({"mine.bmp:1"}), trace.c_str());
        QVERIFY(s.frame()->isVisible());
        QCOMPARE(s.frame()->windowTitle(), QString("*Untitled - Quendrolix Media Editor"));
        continue;
      }
      if (answer == PromptAnswer::kYes) {
        auto shown = qt::RunCli(
            {"--home", s.home.path().string(), "project", "show", s.home.File("mine.qdx")});
        QVERIFY2(shown.output.find("mine.bmp") != std::string::npos, trace.c_str());
      }
      switch (way) {
        case Way::kNew:
          QVERIFY(s.Rows().isEmpty());
          QCOMPARE(s.frame()->windowTitle(), QString("Untitled - Quendrolix Media Editor"));
          break;
        case Way::kOpen:
        case Way::kRecent:
        case Way::kDrop:
          QVERIFY2(s.Rows() == QStringList({"other.bmp:4"}), trace.c_str());
          QCOMPARE(s.frame()->windowTitle(), QString("other.qdx - Quendrolix Media Editor"));
          break;
        case Way::kExit:
        case Way::kClose:
          QVERIFY2(!s.frame()->isVisible(), trace.c_str());
          break;
      }
    }
}

void UnsavedWorkTest::aFailedOpenLeavesTheProjectAsItWas() {
  Session s;
  QVERIFY(s.Start());
  const std::string a = qt::WritePatternBmp(s.home.File("a.bmp"), 16, 16, 1);
  const std::string b = qt::WritePatternBmp(s.home.File("b.bmp"), 16, 16, 2);
  s.frame()->ImportFiles({QString::fromStdString(a), QString::fromStdString(b)});
  s.doc().AttachSound("/snd/tune.wav");
  s.doc().list().SetFocusRow(2);
  Settle();
  const QString title = s.frame()->windowTitle();
  const QSize shown = s.frame()->view()->pictureSize();
  QVERIFY(title.startsWith("*"));

  const QString corrupt = s.File("corrupt.qdx");
  qt::WriteText(corrupt.toStdString(), "this is no project of ours\n");
  s.prompts.threeWayAnswers = {PromptAnswer::kNo};
  s.chooser.openAnswers << QStringList{corrupt};
  s.frame()->Action(kIdOpenProject)->trigger();
  Settle();
  QVERIFY(!s.prompts.messages.empty());
  QCOMPARE(s.Rows(), QStringList({"a.bmp:1", "b.bmp:1"}));
  QCOMPARE(s.doc().soundFile(), std::string("/snd/tune.wav"));
  QCOMPARE(s.frame()->listBar()->soundButton()->text(), QString("tune.wav"));
  QCOMPARE(s.frame()->windowTitle(), title);
  QCOMPARE(s.doc().list().FocusRow(), 2);
  QCOMPARE(s.frame()->view()->pictureSize(), shown);
  // Still the same unsaved work: undo takes the sound back.
  s.frame()->Action(kIdUndo)->trigger();
  QCOMPARE(s.doc().soundFile(), std::string());
}

void UnsavedWorkTest::undoAndRedoEachListOperation() {
  Session s;
  QVERIFY(s.Start());
  QVERIFY(!s.Enabled(kIdUndo));
  QVERIFY(!s.Enabled(kIdRedo));
  QCOMPARE(s.frame()->Action(kIdUndo)->shortcut(), QKeySequence("Ctrl+Z"));
  QCOMPARE(s.frame()->Action(kIdRedo)->shortcut(), QKeySequence("Ctrl+Shift+Z"));
  const std::string wav = s.home.File("tune.wav");
  qt::WriteText(wav, "");
  std::vector<QString> pictures;
  for (int i = 0; i < 3; ++i)
    pictures.push_back(QString::fromStdString(
        qt::WritePatternBmp(s.home.File("p" + std::to_string(i) + ".bmp"), 16, 16, i)));

  struct State {
    QStringList rows;
    std::string sound;
    bool operator==(const State&) const = default;
  };
  auto now = [&] { return State{s.Rows(), s.doc().soundFile()}; };
  struct Step {
    const char* what;
    std::function<void()> run;
  };
  const Step steps[] = {
      {"import",
       [&] {
         s.chooser.openAnswers << QStringList{pictures[0], pictures[1], pictures[2]};
         s.frame()->Action(kIdImportImages)->trigger();
       }},
      {"move up",
       [&] {
         s.doc().list().SetFocusRow(3);
         s.Click(kIdMoveUp);
       }},
      {"move down",
       [&] {
         s.doc().list().SetFocusRow(1);
         s.Click(kIdMoveDown);
       }},
      {"move first",
       [&] {
         s.doc().list().SetFocusRow(3);
         s.Click(kIdMoveFirst);
       }},
      {"move last",
       [&] {
         s.doc().list().SetFocusRow(1);
         s.Click(kIdMoveLast);
       }},
      {"frame count", [&] { s.model()->setData(s.model()->index(0, 1), "6", Qt::EditRole); }},
      {"replication",
       [&] {
         FrameReplicationDlg dialog(s.doc());
         dialog.modeButton(ReplicationMode::kAddToCurrent)->click();
         dialog.countEdit()->setText("2");
         dialog.accept();
       }},
      {"delete",
       [&] {
         s.doc().list().SetFocusRow(2);
         s.Click(kIdDeleteImage);
       }},
      {"paste",
       [&] {
         QImage image(16, 16, QImage::Format_RGB32);
         image.fill(Qt::red);
         QApplication::clipboard()->setImage(image);
         s.frame()->Action(kIdPaste)->trigger();
       }},
      {"cut",
       [&] {
         s.doc().list().SetFocusRow(1);
         s.frame()->Action(kIdCut)->trigger();
       }},
      {"attach sound",
       [&] {
         s.chooser.openAnswers << QStringList{QString::fromStdString(wav)};
         s.frame()->Action(kIdAttachSound)->trigger();
       }},
      {"detach sound", [&] { s.Click(kIdSoundButton); }},
  };
  std::vector<State> states = {now()};
  for (const Step& step : steps) {
    step.run();
    Settle();
    const State after = now();
    QVERIFY2(!(after == states.back()), step.what);  // the operation did something
    QVERIFY2(s.Enabled(kIdUndo), step.what);
    s.frame()->Action(kIdUndo)->trigger();
    QVERIFY2(now() == states.back(), step.what);
    QVERIFY2(s.Enabled(kIdRedo), step.what);
    s.frame()->Action(kIdRedo)->trigger();
    QVERIFY2(now() == after, step.what);
    QVERIFY2(!s.Enabled(kIdRedo), step.what);
    states.push_back(after);
  }
  // Back through every step to the empty project, which is no longer modified.
  for (size_t i = states.size() - 1; i > 0; --i) {
    s.frame()->Action(kIdUndo)->trigger();
    QCOMPARE(now().rows, states[i - 1].rows);
    QCOMPARE(now().sound, states[i - 1].sound);
  }
  QVERIFY(!s.Enabled(kIdUndo));
  QCOMPARE(s.frame()->windowTitle(), QString("Untitled - Quendrolix Media Editor"));
  // And forward again; a new edit drops what could be redone.
  s.frame()->Action(kIdRedo)->trigger();
  s.frame()->Action(kIdRedo)->trigger();
  QCOMPARE(now().rows, states[2].rows);
  s.doc().list().SetFocusRow(1);
  s.Click(kIdDeleteImage);
  Settle();
  QVERIFY(!s.Enabled(kIdRedo));

  // While the image editor is on, Ctrl+Z is the editor's: the list's undo steps aside.
  QVERIFY(s.Enabled(kIdUndo));
  s.doc().list().SetFocusRow(1);
  s.frame()->Action(kIdImageEditor)->trigger();
  QVERIFY(s.frame()->Action(kIdImageEditor)->isChecked());
  QVERIFY(!s.Enabled(kIdUndo));
  const QStringList rows = s.Rows();
  QKeySequence undo("Ctrl+Z");
  int claimants = 0;
  for (QAction* action : s.frame()->findChildren<QAction*>())
    if (action->isEnabled() && action->shortcuts().contains(undo)) ++claimants;
  QVERIFY(claimants <= 1);
  s.frame()->Action(kIdImageEditor)->trigger();
  QVERIFY(s.Enabled(kIdUndo));
  QCOMPARE(s.Rows(), rows);
}
