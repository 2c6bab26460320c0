#include "screenshot_tour.h"

#include <QAction>
#include <QDialog>
#include <QDir>
#include <QImage>
#include <QTemporaryDir>
#include <QtTest>
#include <set>

#include "command_table.h"
#include "conversion_log_window.h"
#include "editor/image_processor_dlg.h"
#include "gui_session.h"
#include "help_topics.h"
#include "help_window.h"
#include "platform/host/program_folder.h"
#include "platform/sound/sound_backend.h"
#include "playback_window.h"

using namespace quendrolix;
using namespace quendrolix::app;
using quendrolix::gui_testing::Session;
using quendrolix::gui_testing::WhenModal;
using quendrolix::testing::RunCli;
using quendrolix::testing::SourceDir;

namespace {

// A picture a person can use: the window's size and more than a flat colour.
bool Saved(QWidget* window, const QString& folder, const QString& name, QStringList& problems) {
  QImage shot = window->grab().toImage();
  std::set<QRgb> colours;
  for (int y = 0; y < shot.height() && colours.size() < 8; y += 3)
    for (int x = 0; x < shot.width() && colours.size() < 8; x += 3)
      colours.insert(shot.pixel(x, y));
  if (shot.isNull() || shot.width() < 100 || shot.height() < 60 || colours.size() < 8) {
    problems << name + ": blank or too small";
    return false;
  }
  if (!shot.save(folder + "/" + name + ".png")) {
    problems << name + ": not written";
    return false;
  }
  return true;
}

}  // namespace

void ScreenshotTour::everyWindowDrawsItself() {
  QTemporaryDir scratch;
  QString folder = qEnvironmentVariable("QUENDROLIX_SCREENSHOTS", scratch.path());
  QVERIFY(QDir().mkpath(folder));
  QStringList problems;
  QStringList written;

  Session s;
  QVERIFY(s.Start());
  CMainFrame* frame = s.frame();
  frame->resize(860, 600);
  std::string capture = (SourceDir() / "samples/chord.wav").string();
  frame->SetSoundBackendFactory([capture] { return MakeFileSoundBackend(capture, std::string()); });

  // The project: the eight ball pictures that come with the program, and the chord.
  QStringList balls;
  for (int i = 1; i <= 8; ++i)
    balls << QString::fromStdString(
        (SourceDir() / "samples" / ("ball" + std::to_string(i) + ".bmp")).string());
  frame->ImportFiles(balls);
  s.doc().AttachSound(capture);
  for (int row = 1; row <= 8; ++row) s.doc().list().SetCell(row, 1, row % 3 ? "2" : "4");
  s.doc().list().SetFocusRow(3);
  QVERIFY(frame->SaveDocumentAs(s.File("balls.qdx")));
  // The status bar shows the picture's size once the view has drawn it.
  QTRY_COMPARE(frame->PaneText(2), QString(" 160x120 "));
  if (Saved(frame, folder, "main_window", problems)) written << "main_window";

  // A movie made by the command-line program, for the tools that open one, and the lines
  // of its build for the Progress window.
  std::string home = s.home.File("cli");
  auto made = RunCli({"--home", home, "create", s.File("balls.qdx").toStdString(),
                      s.File("balls.avi").toStdString()});
  QCOMPARE(made.status, 0);
  made = RunCli({"--home", home, "create", s.File("balls.qdx").toStdString(),
                 s.File("balls.mpg").toStdString()});
  QCOMPARE(made.status, 0);

  struct Shot {
    int command;
    const char* name;
  };
  const Shot shots[] = {
      {kIdAviOutputSettings, "avi_output_options"},
      {kIdOutputSize, "output_size"},
      {kIdAviCodec, "video_compression"},
      {kIdMpgOutputSettings, "mpg_output_options"},
      {kIdGifOutputSettings, "gif_options"},
      {kIdLogo, "company_logo"},
      {kIdFrameReplication, "frame_replication"},
      {kIdQuickCreate, "quick_create"},
      {kIdMorphing, "morphing"},
      {kIdExtractImages, "extract_images"},
      {kIdJoinAvis, "join_avis"},
      {kIdMergeAviSound, "merge_avi_sound"},
      {kIdMergeMpgSound, "merge_mpg_sound"},
      {kIdAviToMpg, "convert_avi_to_mpg"},
      {kIdRecorder, "sound_recorder"},
      {kIdImageProcessor, "image_processor"},
  };
  for (const Shot& shot : shots) {
    if (shot.command == kIdExtractImages) s.chooser.openAnswers << QStringList{s.File("balls.avi")};
    if (!s.Enabled(shot.command)) {
      problems << QString(shot.name) + ": its command is not offered";
      continue;
    }
    bool seen = false;
    WhenModal<QDialog>([&](QDialog* dialog) {
      seen = true;
      QTest::qWait(30);
      if (Saved(dialog, folder, shot.name, problems)) written << shot.name;
      dialog->reject();
    });
    frame->Action(shot.command)->trigger();
    if (!seen) problems << QString(shot.name) + ": no dialog showed";
  }

  // The Progress window with the lines of a real build.
  ConversionLogWindow* log = frame->conversionLog();
  for (const QString& line : QString::fromStdString(made.output).split('\n', Qt::SkipEmptyParts))
    log->ReportLine(line.toStdString());
  log->ReportFrame(20);
  log->ReportPercent(100);
  log->SetFile(s.File("balls.mpg"));
  log->show();
  QVERIFY(QTest::qWaitForWindowExposed(log));
  if (Saved(log, folder, "progress", problems)) written << "progress";
  log->hide();

  // The player on the movie with the chord, caught a moment after it started.
  s.chooser.openAnswers << QStringList{s.File("balls.avi")};
  frame->Action(kIdViewAnimation)->trigger();
  if (PlaybackWindow* player = frame->playbackWindow()) {
    QVERIFY(QTest::qWaitForWindowExposed(player));
    QTRY_VERIFY(player->shownFrame() >= 5 || !player->modeText().startsWith("Playing"));
    if (player->modeText().startsWith("Playing")) player->playButton()->click();
    player->slider()->setValue(700);
    QTest::qWait(30);
    if (Saved(player, folder, "player", problems)) written << "player";
    player->close();
  } else {
    problems << "player: no window opened";
  }

  // The image editor over the selected picture.
  if (s.Enabled(kIdImageEditor)) {
    frame->Action(kIdImageEditor)->trigger();
    QTest::qWait(50);
    if (Saved(frame, folder, "image_editor", problems)) written << "image_editor";
    frame->Action(kIdImageEditor)->trigger();
  } else {
    problems << "image_editor: its command is not offered";
  }

  // The manual's own window.
  QVERIFY(ShowHelpTopic(kHelpFirstAnimation));
  HelpWindow* help = CurrentHelpWindow();
  QVERIFY(QTest::qWaitForWindowExposed(help));
  if (Saved(help, folder, "help_window", problems)) written << "help_window";
  help->close();

  QVERIFY2(problems.isEmpty(), qPrintable(problems.join("; ")));
  QCOMPARE(written.size(), 21);
}
