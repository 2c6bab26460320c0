#include "image_tools_test.h"

#include <QApplication>
#include <QRadioButton>
#include <QTimer>
#include <filesystem>

#include "command_table.h"
#include "extract_images_dlg.h"
#include "frame_progress_window.h"
#include "gui_session.h"
#include "join_avis_dlg.h"
#include "morph_dlg.h"
#include "platform/host/program_folder.h"
#include "support/avi_fixtures.h"
#include "support/image_fixtures.h"
#include "support/image_tools_fixtures.h"
#include "support/vfw_fixtures.h"

using namespace quendrolix;
using namespace quendrolix::gui_testing;
using namespace quendrolix::testing;
namespace fs = std::filesystem;

void ImageToolsTest::cleanup() {
  ProgramFolder::SetOverride({});
}

void ImageToolsTest::morphCommandStartsANewAnimation() {
  Session s;
  QVERIFY(s.Start());
  WriteBmp(s.home.File("old.bmp"), PatternBitmap(6, 4, 9));
  s.frame()->ImportFiles({s.File("old.bmp")});
  WriteBmp(s.home.File("a.bmp"), PatternBitmap(6, 4, 1));
  WriteBmp(s.home.File("b.bmp"), PatternBitmap(6, 4, 2));
  WriteBmp(s.home.File("wide.bmp"), PatternBitmap(9, 4, 3));
  s.chooser.openAnswers << QStringList{s.File("a.bmp")} << QStringList{s.File("wide.bmp")}
                        << QStringList{s.File("b.bmp")};

  bool answered = false;
  QTimer::singleShot(0, [&] {
    auto* dialog = qobject_cast<MorphDlg*>(QApplication::activeModalWidget());
    if (!dialog) return;
    QTest::mouseClick(dialog->sourceButton(), Qt::LeftButton);
    QTest::mouseClick(dialog->targetButton(), Qt::LeftButton);  // another size: refused
    const bool refused =
        dialog->targetButton()->text() == "Browse..." && !dialog->morphButton()->isEnabled();
    QTest::mouseClick(dialog->targetButton(), Qt::LeftButton);
    dialog->stepsEdit()->setText("2");
    answered = refused && dialog->morphButton()->isEnabled();
    QTest::mouseClick(dialog->morphButton(), Qt::LeftButton);
  });
  QVERIFY(s.Enabled(kIdMorphing));
  s.frame()->RunCommand(kIdMorphing);
  QVERIFY(answered);
  QCOMPARE(s.prompts.messages, std::vector<std::string>{MorphDialog::kSizeMismatch});
  QCOMPARE(s.Rows(),
           (QStringList{"Img0001.bmp:1", "Img0002.bmp:1", "Img0003.bmp:1", "Img0004.bmp:1"}));
  const std::string folder = s.home.File("Morph");
  QCOMPARE(s.doc().LookUpPath("Img0004.bmp"), folder + "/Img0004.bmp");
  CBmp last;
  QVERIFY(last.Load(folder + "/Img0004.bmp"));
  QCOMPARE(RgbOf(last), RgbOf(*PatternBitmap(6, 4, 2)));
  QVERIFY(!s.frame()->conversionRunning());
}

void ImageToolsTest::extractionDialogContinuesItsNumbering() {
  Session s;
  QVERIFY(s.Start());
  WriteFramesAvi(s.home.File("ten.avi"), 10, 8, 6);
  s.chooser.openAnswers << QStringList{s.File("ten.avi")};
  const QString out = QString::fromStdString(s.home.File("frames"));

  QStringList starts;
  QString progressShown;
  bool answered = false;
  QTimer::singleShot(0, [&] {
    auto* dialog = qobject_cast<ExtractImagesDlg*>(QApplication::activeModalWidget());
    if (!dialog) return;
    answered =
        dialog->windowTitle() == "Extract Images from AVI or Multi-page TIFF" &&
        dialog->sourceEdit()->text() == s.File("ten.avi") &&
        dialog->folderEdit()->text() == QString::fromStdString(s.home.path().string()) + "/" &&
        dialog->dispositionGroup()->button(2)->isChecked();
    dialog->folderEdit()->setText(out);
    dialog->alwaysCheck()->setChecked(true);
    s.prompts.answers = {true};  // create the folder
    // While the frames are written the "Progress" window names the source.
    QTimer::singleShot(0, [&] {
      for (auto* w : s.frame()->findChildren<FrameProgressWindow*>())
        if (w->isVisible() && w->windowTitle() == "Progress") progressShown = w->readingText();
    });
    QTest::mouseClick(dialog->doItButton(), Qt::LeftButton);
    starts << dialog->startEdit()->text();
    dialog->dispositionGroup()->button(1)->click();
    QTest::mouseClick(dialog->doItButton(), Qt::LeftButton);
    starts << dialog->startEdit()->text();
    QTest::mouseClick(dialog->closeButton(), Qt::LeftButton);
  });
  s.frame()->RunCommand(kIdExtractImages);
  QVERIFY(answered);
  QCOMPARE(starts, (QStringList{"11", "21"}));
  QCOMPARE(progressShown, s.File("ten.avi"));
  QVERIFY(s.frame()->findChildren<FrameProgressWindow*>().isEmpty());
  QCOMPARE(s.prompts.questions,
           std::vector<std::string>{out.toStdString() + "/ does not exist. Create?"});
  QCOMPARE(s.prompts.messages, (std::vector<std::string>{"Done!", "Done!"}));
  QVERIFY(fs::exists(out.toStdString() + "/Img0020.bmp"));
  // Only the second run went into the project.
  QCOMPARE(s.Rows().size(), 10);
  QCOMPARE(s.Rows().first(), QString("Img0011.bmp:1"));

  // The folder is remembered for the next time.
  std::string dir;
  QVERIFY(s.doc().store().GetString("Extract", "Dir", dir));
  QCOMPARE(dir, out.toStdString() + "/");
  int16_t useDir = 0;
  QVERIFY(s.doc().store().GetInteger("Extract", "UseDir", useDir));
  QCOMPARE(useDir, int16_t{1});
}

void ImageToolsTest::joinCommandWritesBothFilesFrames() {
  Session s;
  QVERIFY(s.Start());
  for (int id : {kIdQuickImageExtractor, kIdQuickSoundExtractor, kIdExtractImages, kIdJoinAvis,
                 kIdMergeAviSound, kIdTiffConverter, kIdMorphing})
    QVERIFY2(s.Enabled(id), QByteArray::number(id).constData());
  WriteFramesAvi(s.home.File("five.avi"), 5, 16, 8, 0);
  WriteFramesAvi(s.home.File("three.avi"), 3, 16, 8, 30);
  const QString output = s.File("both.avi");
  s.chooser.saveAnswers << output;

  bool offered = false, stillOpen = false;
  QTimer::singleShot(0, [&] {
    auto* dialog = qobject_cast<JoinAvisDlg*>(QApplication::activeModalWidget());
    if (!dialog) return;
    dialog->edit(JoinAvisDlg::kFirstEdit)->setText(s.File("five.avi"));
    dialog->edit(JoinAvisDlg::kSecondEdit)->setText(s.File("three.avi"));
    const bool early = dialog->doItButton()->isEnabled();
    QTest::mouseClick(dialog->button(JoinAvisDlg::kOutputButton), Qt::LeftButton);
    offered = !early && dialog->edit(JoinAvisDlg::kOutputEdit)->text() == output &&
              dialog->doItButton()->isEnabled();
    QTest::mouseClick(dialog->doItButton(), Qt::LeftButton);
    stillOpen = dialog->isVisible();
    QTest::mouseClick(dialog->closeButton(), Qt::LeftButton);
  });
  s.frame()->RunCommand(kIdJoinAvis);
  QVERIFY(offered);
  QVERIFY(stillOpen);
  QVERIFY(s.prompts.messages.empty());
  QCOMPARE(ReadFramesBgr(output.toStdString()).size(), size_t{8});
  QCOMPARE(s.app->frameState().lastOutputFile, output.toStdString());
  QVERIFY(fs::is_empty(s.home.File("Temp")));
  QVERIFY(!s.frame()->conversionRunning());
}
