#include "main_window_test.h"

#include <QAbstractItemModelTester>
#include <QAction>
#include <QLineEdit>
#include <QMimeData>
#include <QSignalSpy>
#include <QTableView>
#include <QToolBar>
#include <QtTest>
#include <filesystem>
#include <memory>

#include "avi_output_options_dlg.h"
#include "command_table.h"
#include "frame_replication_dlg.h"
#include "framewright_app.h"
#include "framewright_view.h"
#include "gui_session.h"
#include "image_list_bar.h"
#include "main_frame.h"
#include "platform/host/program_folder.h"
#include "platform/host/user_prompts.h"
#include "project/framewright_doc.h"
#include "support/image_fixtures.h"
#include "support/test_support.h"

using namespace quendrolix;
using namespace quendrolix::app;
using quendrolix::gui_testing::Session;
using quendrolix::testing::ReadText;
using quendrolix::testing::RunCli;
using quendrolix::testing::TempDir;
using quendrolix::testing::WriteText;
namespace fs = std::filesystem;

namespace {

std::string Write(const Session& s, const char* name, const std::string& text) {
  std::string path = s.home.File(name);
  WriteText(path, text);
  return path;
}

}  // namespace

void MainWindowTest::cleanup() {
  ProgramFolder::SetOverride({});
}

void MainWindowTest::commandLineProjectFillsGrid() {
  Session s;
  // The settings' own list is replaced by the project named on the command line.
  Write(s, "Clipora.ini", "[General]\r\nFPS=15\r\n[Images]\r\n0=/pics/from-settings.bmp\r\n");
  {
    FrameList list;
    SettingsStore store;
    CFramewrightDoc doc(list, store);
    doc.framesPerSecond = 12;
    doc.AttachSound("/snd/tune.wav");
    doc.SetImagePath("sky.jpg", "/pics/sky.jpg");
    doc.AddImage("sky.jpg", -1, 3);
    doc.SetImagePath("sea.png", "/pics/sea.png");
    doc.AddImage("sea.png", -1, 1);
    QVERIFY(doc.SaveProjectFile(s.home.File("trip.qdx")));
  }
  QVERIFY(s.Start({s.File("trip.qdx")}));

  QCOMPARE(s.model()->headerData(0, Qt::Horizontal).toString(), QString("Image"));
  QCOMPARE(s.model()->headerData(1, Qt::Horizontal).toString(), QString("Frames"));
  QCOMPARE(s.Rows(), QStringList({"sky.jpg:3", "sea.png:1"}));
  QCOMPARE(s.grid()->currentIndex().row(), 0);  // row 1 selected after the read
  QCOMPARE(s.doc().framesPerSecond, 12);
  QCOMPARE(s.doc().LookUpPath("sea.png"), std::string("/pics/sea.png"));
  QCOMPARE(s.frame()->listBar()->soundButton()->text(), QString("tune.wav"));
  QCOMPARE(s.frame()->windowTitle(), QString("trip.qdx - Quendrolix Media Editor"));
  QCOMPARE(s.frame()->PaneText(1), QString("   2"));
  QCOMPARE(s.frame()->PaneText(2), QString("   0x0   "));
  QVERIFY(s.prompts.messages.empty());
  QCOMPARE(s.app->recentFiles().files().value(0), s.File("trip.qdx"));

  // The recent-file list outlives the run and opens the project again from the menu.
  s.Stop();
  Session again;
  QVERIFY(again.Start());
  QCOMPARE(again.app->recentFiles().files().value(0), s.File("trip.qdx"));
  QVERIFY(again.Rows().isEmpty());
  QList<QAction*> recent;
  for (QAction* action : again.frame()->findChildren<QAction*>())
    if (action->data().toInt() == kIdRecentFirst) recent << action;
  QCOMPARE(recent.size(), 1);
  QVERIFY(recent[0]->text().endsWith("trip.qdx"));
}

void MainWindowTest::createFollowsImagesAndSound() {
  Session s;
  QVERIFY(s.Start());
  QPushButton* sound = s.frame()->listBar()->soundButton();
  QVERIFY(!s.Enabled(kIdCreate));
  QVERIFY(!s.Enabled(kIdSaveProject));
  QVERIFY(!s.Enabled(kIdSaveProjectAs));
  QVERIFY(sound->isHidden());
  QCOMPARE(s.frame()->windowTitle(), QString("Untitled - Quendrolix Media Editor"));

  // Only a sound: Create is offered, saving is not.
  s.chooser.openAnswers << QStringList{"/snd/chord.wav"};
  s.frame()->Action(kIdAttachSound)->trigger();
  QCOMPARE(s.chooser.lastFilter, kWaveFilter);
  QCOMPARE(s.doc().soundFile(), std::string("/snd/chord.wav"));
  QVERIFY(s.Enabled(kIdCreate));
  QVERIFY(!s.Enabled(kIdSaveProject));
  QVERIFY(!sound->isHidden());
  QVERIFY(sound->isChecked());
  QCOMPARE(sound->text(), QString("chord.wav"));
  // A sound dialog moves both remembered folders.
  std::string folder;
  QVERIFY(s.doc().store().GetString("General", "ImportPath", folder));
  QCOMPARE(folder, std::string("/snd"));
  QVERIFY(s.doc().store().GetString("General", "SavePath", folder));
  QCOMPARE(folder, std::string("/snd"));

  // Pressing the sound button detaches it.
  s.Click(kIdSoundButton);
  QVERIFY(s.doc().soundFile().empty());
  QVERIFY(sound->isHidden());
  QVERIFY(!s.Enabled(kIdCreate));

  // Import sorts the chosen files in byte order and starts where the last sound was found.
  // (Real pictures: import leaves out files that do not decode.)
  fs::create_directories(s.home.File("x"));
  for (const char* name : {"C.bmp", "a.bmp", "B.bmp"}) {
    CBmp picture;
    picture.Attach(quendrolix::testing::PatternBitmap(4, 4));
    QVERIFY(picture.Save(s.home.File(std::string("x/") + name)));
  }
  s.chooser.openAnswers << QStringList{s.File("x/C.bmp"), s.File("x/a.bmp"), s.File("x/B.bmp")};
  s.frame()->Action(kIdImportImages)->trigger();
  QCOMPARE(s.chooser.lastFolder, QString("/snd"));
  QCOMPARE(s.chooser.lastFilter, kImageFilter);
  QCOMPARE(s.Rows(), QStringList({"B.bmp:1", "C.bmp:1", "a.bmp:1"}));
  QVERIFY(s.doc().store().GetString("General", "ImportPath", folder));
  QCOMPARE(folder, s.home.File("x"));
  QVERIFY(s.Enabled(kIdCreate));
  QVERIFY(s.Enabled(kIdSaveProjectAs));
  QCOMPARE(s.frame()->PaneText(1), QString("   3"));

  // Create cancelled at its file dialog builds nothing and says nothing.
  s.frame()->Action(kIdCreate)->trigger();
  QCOMPARE(s.chooser.saveCalls, 1);
  QVERIFY(s.prompts.messages.empty());

  // The toolbar toggles are checked while their bar shows.
  QVERIFY(s.frame()->Action(kIdToolsToolbar)->isChecked());
  s.frame()->Action(kIdToolsToolbar)->trigger();
  QVERIFY(s.frame()->toolsToolbar()->isHidden());
  QVERIFY(!s.frame()->Action(kIdToolsToolbar)->isChecked());
  s.frame()->Action(kIdToolsToolbar)->trigger();
  QVERIFY(!s.frame()->toolsToolbar()->isHidden());
  QVERIFY(s.frame()->Action(kIdToolsToolbar)->isChecked());

  // New empties the list and leaves nothing to create.
  s.frame()->Action(kIdNewProject)->trigger();
  QVERIFY(s.Rows().isEmpty());
  QVERIFY(!s.Enabled(kIdCreate));
  QCOMPARE(s.frame()->PaneText(1), QString("   0"));
}

void MainWindowTest::listBarMovesShowInGrid() {
  Session s;
  QVERIFY(s.Start());
  // Every insert, removal and reset the model reports must match what it then holds.
  QAbstractItemModelTester tester(s.model(),
                                  QAbstractItemModelTester::FailureReportingMode::QtTest);
  s.frame()->ImportFiles({"/p/a.bmp", "/p/b.bmp", "/p/c.bmp", "/p/d.bmp"});
  FrameList& list = s.doc().list();

  s.ClickRow(2);  // c.bmp
  QCOMPARE(list.FocusRow(), 3);
  s.Click(kIdMoveUp);
  QCOMPARE(s.Rows(), QStringList({"a.bmp:1", "c.bmp:1", "b.bmp:1", "d.bmp:1"}));
  QCOMPARE(s.grid()->currentIndex().row(), 1);  // the selection follows the image

  s.Click(kIdMoveFirst);
  QCOMPARE(s.Rows(), QStringList({"c.bmp:1", "a.bmp:1", "b.bmp:1", "d.bmp:1"}));
  QCOMPARE(s.grid()->currentIndex().row(), 0);
  s.Click(kIdMoveUp);  // already at the top: nothing
  s.Click(kIdMoveFirst);
  QCOMPARE(s.Rows(), QStringList({"c.bmp:1", "a.bmp:1", "b.bmp:1", "d.bmp:1"}));

  s.Click(kIdMoveLast);
  QCOMPARE(s.Rows(), QStringList({"a.bmp:1", "b.bmp:1", "d.bmp:1", "c.bmp:1"}));
  QCOMPARE(s.grid()->currentIndex().row(), 3);
  s.Click(kIdMoveDown);  // already at the bottom: nothing
  QCOMPARE(s.Rows(), QStringList({"a.bmp:1", "b.bmp:1", "d.bmp:1", "c.bmp:1"}));

  s.ClickRow(0);
  s.Click(kIdMoveDown);
  QCOMPARE(s.Rows(), QStringList({"b.bmp:1", "a.bmp:1", "d.bmp:1", "c.bmp:1"}));
  QCOMPARE(list.FocusRow(), 2);

  // Delete takes the selected row; the one after it is selected in its place.
  s.Click(kIdDeleteImage);
  QCOMPARE(s.Rows(), QStringList({"b.bmp:1", "d.bmp:1", "c.bmp:1"}));
  QCOMPARE(list.FocusRow(), 2);
  QCOMPARE(s.grid()->currentIndex().row(), 1);
  QCOMPARE(s.doc().LookUpPath("a.bmp"), std::string("/p/a.bmp"));  // the name keeps its path
  s.ClickRow(2);
  s.Click(kIdDeleteImage);
  QCOMPARE(list.FocusRow(), 2);
  QCOMPARE(s.grid()->currentIndex().row(), 1);
  QCOMPARE(s.frame()->PaneText(1), QString("   2"));
}

void MainWindowTest::frameCountEditedInGridReachesList() {
  Session s;
  QVERIFY(s.Start());
  s.frame()->ImportFiles({"/p/a.bmp", "/p/b.bmp"});
  FrameList& list = s.doc().list();

  QModelIndex frames = s.model()->index(1, FrameList::kFramesColumn);
  s.grid()->setCurrentIndex(frames);
  s.grid()->edit(frames);
  auto* editor = s.grid()->viewport()->findChild<QLineEdit*>();
  QVERIFY(editor);
  // The editor is a number box: only the digits of what is typed are taken.
  editor->selectAll();
  QTest::keyClicks(editor, "12 frames");
  QTest::keyClick(editor, Qt::Key_Return);
  QTRY_COMPARE(QString::fromStdString(list.Cell(2, FrameList::kFramesColumn)), QString("12"));
  QCOMPARE(s.Rows(), QStringList({"a.bmp:1", "b.bmp:12"}));

  // Names are not edited in place.
  QModelIndex name = s.model()->index(0, FrameList::kNameColumn);
  QVERIFY(!(s.model()->flags(name) & Qt::ItemIsEditable));
  QVERIFY(!s.model()->setData(name, "z.bmp"));
  QCOMPARE(list.Cell(1, FrameList::kNameColumn), std::string("a.bmp"));

  // A change made by the core is announced to the grid, cell by cell.
  QSignalSpy changed(s.model(), &QAbstractItemModel::dataChanged);
  s.doc().ReplicateFrames(4, ReplicationMode::kSetForAll);
  QCOMPARE(changed.size(), 2);
  QCOMPARE(changed[1][0].value<QModelIndex>(), s.model()->index(1, FrameList::kFramesColumn));
  QCOMPARE(s.Rows(), QStringList({"a.bmp:4", "b.bmp:4"}));
}

void MainWindowTest::saveAsWritesWhatCliReads() {
  Session s;
  QVERIFY(s.Start());
  s.frame()->ImportFiles({"/p/one.bmp", "/p/two.jpg"});
  s.doc().list().SetCell(2, FrameList::kFramesColumn, "6");
  s.doc().AttachSound("/snd/tune.wav");

  // Save on an untitled project asks for a name; ".qdx" is added to a bare one.
  s.chooser.saveAnswers << s.File("movie");
  s.frame()->Action(kIdSaveProject)->trigger();
  QCOMPARE(s.chooser.saveCalls, 1);
  QCOMPARE(s.chooser.lastFilter, kProjectSaveFilter);
  const std::string saved = s.home.File("movie.qdx");
  QCOMPARE(s.frame()->windowTitle(), QString("movie.qdx - Quendrolix Media Editor"));
  QCOMPARE(s.app->recentFiles().files().value(0), QString::fromStdString(saved));

  auto show = RunCli({"--home", s.home.path().string(), "project", "show", saved});
  QCOMPARE(show.status, 0);
  QCOMPARE(QString::fromStdString(show.output),
           QString("fps: 10\nbpp: 24\nsound: /snd/tune.wav\nsize: first picture\nfit: "
                   "letterbox\nsound fit: trim\n"
                   "1\tone.bmp\t1\t/p/one.bmp\n"
                   "2\ttwo.jpg\t6\t/p/two.jpg\n"));

  // Save again writes to the same file without asking.
  s.doc().list().SetCell(1, FrameList::kFramesColumn, "3");
  s.frame()->Action(kIdSaveProject)->trigger();
  QCOMPARE(s.chooser.saveCalls, 1);
  show = RunCli({"--home", s.home.path().string(), "project", "show", saved});
  QVERIFY(QString::fromStdString(show.output).contains("1\tone.bmp\t3\t/p/one.bmp\n"));

  // A cancelled Save As writes nothing and keeps the name.
  s.frame()->Action(kIdSaveProjectAs)->trigger();
  QCOMPARE(s.chooser.saveCalls, 2);
  QCOMPARE(s.doc().pathName, saved);
}

void MainWindowTest::dialogsApplyTheirRules() {
  Session s;
  QVERIFY(s.Start());
  CFramewrightDoc& doc = s.doc();

  doc.bitsPerPixel = 16;
  {
    AviOutputOptionsDlg dialog(AviOutputOptionsDialog::ForProject(doc));
    QCOMPARE(dialog.rateEdit()->text(), QString("10"));
    QVERIFY(dialog.depthButton(AviOutputOptionsDialog::kPlentyOfColours)->isChecked());
    // The box keeps to 1..500: the arrows stop there and nothing above can be set.
    dialog.rateEdit()->setText("499");
    dialog.rateEdit()->stepUp();
    dialog.rateEdit()->stepUp();
    QCOMPARE(dialog.rateEdit()->text(), QString("500"));
    dialog.rateEdit()->setText("600 fps");
    dialog.depthButton(AviOutputOptionsDialog::k256Colours)->click();
    // The sound's policy: the project's, then what is chosen.
    QCOMPARE(dialog.soundFitBox()->count(), 3);
    QCOMPARE(dialog.soundFitBox()->currentIndex(), static_cast<int>(SoundFit::kTrim));
    dialog.soundFitBox()->setCurrentIndex(static_cast<int>(SoundFit::kKeep));
    dialog.Rules().Apply(doc);
    QCOMPARE(doc.framesPerSecond, 500);
    QCOMPARE(doc.bitsPerPixel, 8);
    QVERIFY(doc.soundFit == SoundFit::kKeep);
  }

  s.frame()->ImportFiles({"/p/a.bmp", "/p/b.bmp"});
  doc.list().SetCell(1, FrameList::kFramesColumn, "2");
  doc.list().SetCell(2, FrameList::kFramesColumn, "10");
  {
    FrameReplicationDlg dialog(doc);
    QCOMPARE(dialog.countEdit()->text(), QString("1"));
    QVERIFY(dialog.modeButton(ReplicationMode::kSetForAll)->isChecked());
    dialog.modeButton(ReplicationMode::kAddToCurrent)->click();
    dialog.countEdit()->setText("-3");
    dialog.accept();
    QCOMPARE(s.Rows(), QStringList({"a.bmp:1", "b.bmp:7"}));
  }
  {
    FrameReplicationDlg dialog(doc);
    dialog.countEdit()->setText("250");
    dialog.accept();
    QCOMPARE(dialog.countEdit()->text(), QString("100"));
    QCOMPARE(s.Rows(), QStringList({"a.bmp:100", "b.bmp:100"}));
  }
  {
    // "Save as default" writes the settings file at once, never below 1.
    FrameReplicationDlg dialog(doc);
    dialog.countEdit()->setText("-5");
    QTest::mouseClick(dialog.saveAsDefaultButton(), Qt::LeftButton);
    QVERIFY(ReadText(s.home.File("Clipora.ini")).find("Replicate=1\r\n") != std::string::npos);
    dialog.countEdit()->setText("5");
    QTest::mouseClick(dialog.saveAsDefaultButton(), Qt::LeftButton);
    QVERIFY(ReadText(s.home.File("Clipora.ini")).find("Replicate=5\r\n") != std::string::npos);
    dialog.reject();
    QCOMPARE(s.Rows(), QStringList({"a.bmp:100", "b.bmp:100"}));  // Cancel changes nothing
  }
  s.frame()->ImportFiles({"/p/c.bmp"});
  QCOMPARE(s.Rows().value(2), QString("c.bmp:5"));  // the new default frame count
}

namespace {
// A plain picture for every path, in place of the image layer.
struct SolidPictures : ViewPictureSource {
  QSize size;
  int loads = 0;
  explicit SolidPictures(QSize s) : size(s) {}
  bool Load(const std::string&, CBmp& picture) override {
    ++loads;
    HBITMAP bitmap = Bitmap::Create(size.width(), size.height());
    bitmap->Fill(BgrxFromColour(RGB(255, 0, 0)));
    picture.Attach(bitmap);
    return true;
  }
};
}  // namespace

void MainWindowTest::viewCentresPictureInEtchedFrame() {
  Session s;
  QVERIFY(s.Start());
  CFramewrightView* view = s.frame()->view();
  auto pictures = std::make_unique<SolidPictures>(QSize(40, 30));
  SolidPictures* source = pictures.get();
  view->SetPictureSource(std::move(pictures));

  s.frame()->ImportFiles({"/p/a.bmp", "/p/b.bmp"});
  s.ClickRow(0);
  QImage shot = view->grab().toImage();
  // Centred: grey then white outside each edge, the picture between.
  const int x = (view->width() - 40) / 2, y = (view->height() - 30) / 2;
  QVERIFY(x > 2 && y > 2);
  const QRgb red = qRgb(255, 0, 0), grey = qRgb(0x80, 0x80, 0x80), white = qRgb(255, 255, 255);
  QCOMPARE(shot.pixel(x, y), red);
  QCOMPARE(shot.pixel(x + 39, y + 29), red);
  QCOMPARE(shot.pixel(x - 2, y + 10), grey);
  QCOMPARE(shot.pixel(x - 1, y + 10), white);
  QCOMPARE(shot.pixel(x + 40, y + 10), grey);
  QCOMPARE(shot.pixel(x + 41, y + 10), white);
  QCOMPARE(shot.pixel(x + 10, y - 2), grey);
  QCOMPARE(shot.pixel(x + 10, y + 30), grey);
  QCOMPARE(shot.pixel(x + 10, y + 31), white);
  QCOMPARE(shot.pixel(x - 3, y - 3), qRgb(0xC0, 0xC0, 0xC0));
  QCOMPARE(s.app->frameState().projectSize, (ProjectSize{40, 30}));
  QTRY_COMPARE(s.frame()->PaneText(2), QString("  40x30  "));

  // The same image is not loaded twice; another row loads its own. A picture larger than
  // the view is scaled down to fit it, centred, while the status pane keeps its real size;
  // without the frame flag nothing is drawn around it.
  view->grab();
  QCOMPARE(source->loads, 1);
  const QSize large = view->size() * 3;
  source->size = large;
  view->settings().frameImages = 0;
  s.ClickRow(1);
  shot = view->grab().toImage();
  QCOMPARE(source->loads, 2);
  const QSize shown = CFramewrightView::ShownSize(view->size(), large);
  QVERIFY(shown.width() <= view->width() && shown.height() <= view->height());
  QVERIFY(shown.width() >= view->width() - 5 || shown.height() >= view->height() - 5);
  QCOMPARE(shot.pixel(view->width() / 2, view->height() / 2), red);
  QCOMPARE(shot.pixel(0, 0), qRgb(0xC0, 0xC0, 0xC0));
  QCOMPARE(shot.pixel(view->width() - 1, view->height() - 1), qRgb(0xC0, 0xC0, 0xC0));
  QCOMPARE(s.app->frameState().projectSize, (ProjectSize{large.width(), large.height()}));
}

void MainWindowTest::dropsAndSettingsAtExit() {
  Session s;
  QVERIFY(s.Start());
  std::string image = s.home.File("dropped.png");
  CBmp picture;
  picture.Attach(quendrolix::testing::PatternBitmap(6, 4));
  QVERIFY(picture.Save(image));
  std::string fake = Write(s, "notes.png", "not really a picture");
  std::string other = Write(s, "second.bmp", "");

  QMimeData data;
  data.setUrls({QUrl::fromLocalFile(QString::fromStdString(fake)),
                QUrl::fromLocalFile(QString::fromStdString(image)),
                QUrl::fromLocalFile(QString::fromStdString(other))});
  QDragEnterEvent enter(QPoint(300, 200), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(s.frame(), &enter);
  QVERIFY(enter.isAccepted());
  QDropEvent drop(QPointF(300, 200), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(s.frame(), &drop);
  // Files that are not pictures stay out, named together in one message.
  QCOMPARE(s.Rows(), QStringList({"dropped.png:1"}));
  QCOMPARE(s.doc().LookUpPath("dropped.png"), image);
  QCOMPARE(s.prompts.messages.size(), size_t{1});
  QVERIFY(s.prompts.messages[0].find(fake) != std::string::npos);
  QVERIFY(s.prompts.messages[0].find(other) != std::string::npos);

  // View settings changed by commands reach the file when the program ends, not before.
  QVERIFY(s.frame()->Action(kIdFrameImages)->isChecked());
  s.frame()->Action(kIdFrameImages)->trigger();
  QVERIFY(!s.frame()->Action(kIdFrameImages)->isChecked());
  QVERIFY(ReadText(s.home.File("Clipora.ini")).find("FrameImages") == std::string::npos);
  s.Stop();
  QVERIFY(ReadText(s.home.File("Clipora.ini")).find("FrameImages=0\r\n") != std::string::npos);
}

void MainWindowTest::settingsFileJobRunsAfterStartup() {
  Session s;
  // A settings file named on the command line is the run's settings: its list, its sound,
  // and "Auto", which starts the build a moment after start-up.
  std::string job = Write(s, "job.ini",
                          "[General]\r\nAuto=1\r\nSound=/snd/a.wav\r\nOutput=/out/x.avi\r\n"
                          "[Images]\r\n0=/pics/one.bmp,4\r\n1=/pics/two\r\n");
  QVERIFY(s.Start({QString::fromStdString(job)}));
  QCOMPARE(s.doc().settingsFilePath, job);
  QCOMPARE(s.Rows(), QStringList({"one.bmp:4", "two.:1"}));
  QVERIFY(s.Enabled(kIdCreate));
  QCOMPARE(s.frame()->listBar()->soundButton()->text(), QString("a.wav"));
  // The build fails on the missing sound, checked before any picture: the run stays open
  // and says why.
  QTRY_VERIFY(s.prompts.HasMessage(
      "Could not read the sound /snd/a.wav (/snd/a.wav cannot be opened: No such file or "
      "directory)"));
  QVERIFY(s.frame()->isVisible());

  // Later writes go to that file, not to Clipora.ini.
  s.frame()->Action(kIdFrameImages)->trigger();
  s.Stop();
  QVERIFY(ReadText(job).find("FrameImages=0\r\n") != std::string::npos);
  QVERIFY(!std::filesystem::exists(s.home.File("Clipora.ini")));
}
