#include "media_tools_test.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFileSystemModel>
#include <QMimeData>
#include <QScreen>
#include <QTimer>
#include <QTreeView>
#include <QtTest>
#include <filesystem>
#include <thread>

#include "command_table.h"
#include "conversion_log_window.h"
#include "gui_session.h"
#include "image/cbmp.h"
#include "image/image_preview.h"
#include "image_preview_widget.h"
#include "merge_dlg.h"
#include "platform/host/program_folder.h"
#include "platform/sound/sound_backend.h"
#include "qt_bitmap.h"
#include "qt_clipboard.h"
#include "recorder_dlg.h"
#include "support/image_fixtures.h"
#include "support/mpeg_system_fixtures.h"
#include "support/sound_fixtures.h"

using namespace quendrolix;
using namespace quendrolix::app;
using quendrolix::gui_testing::ScriptedChooser;
using quendrolix::gui_testing::Session;
using quendrolix::testing::PatternBitmap;
using quendrolix::testing::ReadBytes;
using quendrolix::testing::RgbOf;
using quendrolix::testing::TempDir;
using quendrolix::testing::WriteBytes;
using quendrolix::testing::WriteText;
namespace fs = std::filesystem;

namespace {

// A BMP of the pattern picture; returns the picture's pixels.
HBITMAP WriteBmp(const std::string& path, int width, int height, int seed) {
  HBITMAP bitmap = PatternBitmap(width, height, seed);
  CBmp picture;
  picture.Attach(bitmap->Copy());
  if (!picture.Save(path)) return nullptr;
  return bitmap;
}

QImage Solid(int width, int height, QColor colour) {
  QImage image(width, height, QImage::Format_RGB32);
  image.fill(colour);
  return image;
}

QImage Rgb32(const QImage& image) {
  return image.convertToFormat(QImage::Format_RGB32);
}

QImage ClipboardImage() {
  const QMimeData* data = QGuiApplication::clipboard()->mimeData();
  if (!data || !data->hasImage()) return QImage();
  return qvariant_cast<QImage>(data->imageData()).convertToFormat(QImage::Format_RGB32);
}

// The data chunk of a RIFF WAVE file, or empty.
std::vector<uint8_t> WavData(const std::string& path) {
  std::vector<uint8_t> bytes = ReadBytes(path);
  auto u32 = [&](size_t at) {
    return uint32_t{bytes[at]} | uint32_t{bytes[at + 1]} << 8 | uint32_t{bytes[at + 2]} << 16 |
           uint32_t{bytes[at + 3]} << 24;
  };
  if (bytes.size() < 12 || std::memcmp(bytes.data(), "RIFF", 4) != 0) return {};
  for (size_t at = 12; at + 8 <= bytes.size();) {
    uint32_t size = u32(at + 4);
    if (std::memcmp(&bytes[at], "data", 4) == 0) {
      size_t end = std::min(bytes.size(), at + 8 + size);
      return std::vector<uint8_t>(bytes.begin() + static_cast<long>(at) + 8,
                                  bytes.begin() + static_cast<long>(end));
    }
    at += 8 + size + (size & 1);
  }
  return {};
}

// With QUENDROLIX_GUI_SHOTS set (and a real display), saves what the screen shows of the
// window there, for a person to look at.
void Shoot(QWidget* window, const char* name) {
  QByteArray folder = qgetenv("QUENDROLIX_GUI_SHOTS");
  if (folder.isEmpty() || !window->screen()) return;
  QTest::qWait(300);
  QPixmap shot = window->screen()->grabWindow(window->winId());
  if (shot.isNull()) shot = window->grab();
  shot.save(QString::fromUtf8(folder) + "/" + name + ".png");
}

}  // namespace

void MediaToolsTest::cleanup() {
  ProgramFolder::SetOverride({});
  ImagePreviewPanel::SetShowPreview(true);
}

void MediaToolsTest::viewShowsEachImportedImage() {
  Session s;
  QVERIFY(s.Start());
  HBITMAP first = WriteBmp(s.home.File("a.bmp"), 40, 30, 1);
  HBITMAP second = WriteBmp(s.home.File("b.bmp"), 64, 20, 2);
  QVERIFY(first && second);
  WriteText(s.home.File("c.bmp"), "not a bitmap");
  s.frame()->ImportFiles({s.File("a.bmp"), s.File("b.bmp"), s.File("c.bmp")});
  CFramewrightView* view = s.frame()->view();

  s.ClickRow(0);
  QImage shot = view->grab().toImage();
  QPoint at = CFramewrightView::PicturePosition(view->size(), QSize(40, 30));
  QCOMPARE(Rgb32(shot.copy(QRect(at, QSize(40, 30)))), ImageFromBitmap(*first));
  QCOMPARE(s.app->frameState().projectSize, (ProjectSize{40, 30}));
  QTRY_COMPARE(s.frame()->PaneText(2), QString("  40x30  "));
  QCOMPARE(s.frame()->PaneText(1), QString("   3"));
  Shoot(s.frame(), "main_window");

  s.ClickRow(1);
  shot = view->grab().toImage();
  at = CFramewrightView::PicturePosition(view->size(), QSize(64, 20));
  QCOMPARE(Rgb32(shot.copy(QRect(at, QSize(64, 20)))), ImageFromBitmap(*second));
  QCOMPARE(s.app->frameState().projectSize, (ProjectSize{64, 20}));
  QTRY_COMPARE(s.frame()->PaneText(2), QString("  64x20  "));

  // An image that does not decode shows the background alone and no size.
  s.ClickRow(2);
  shot = view->grab().toImage();
  QCOMPARE(shot.pixel(view->width() / 2, view->height() / 2), qRgb(0xC0, 0xC0, 0xC0));
  QTRY_COMPARE(s.frame()->PaneText(2), QString("   0x0   "));

  // A picture with a transparent colour (a GIF's transparent index) lets the screen
  // background show through where it has that colour.
  struct Transparent : ViewPictureSource {
    bool Load(const std::string&, CBmp& picture) override {
      HBITMAP bitmap = Bitmap::Create(10, 10);
      bitmap->Fill(BgrxFromColour(RGB(0, 0, 255)));
      for (int x = 0; x < 10; ++x) bitmap->SetPixel(x, 0, BgrxFromColour(RGB(255, 0, 0)));
      picture.Attach(bitmap);
      picture.SetTransparent(true, RGB(255, 0, 0));
      return true;
    }
  };
  view->settings().backgroundColour = RGB(0, 99, 0);
  view->SetPictureSource(std::make_unique<Transparent>());
  shot = view->grab().toImage();
  at = CFramewrightView::PicturePosition(view->size(), QSize(10, 10));
  QCOMPARE(shot.pixel(at + QPoint(4, 0)), qRgb(0, 99, 0));
  QCOMPARE(shot.pixel(at + QPoint(4, 1)), qRgb(0, 0, 255));
}

void MediaToolsTest::pasteGoesThroughTheSystemClipboard() {
  Session s;
  QVERIFY(s.Start());
  QAction* paste = s.frame()->Action(kIdPaste);
  QCOMPARE(paste->shortcuts(),
           QList<QKeySequence>({QKeySequence("Ctrl+V"), QKeySequence("Shift+Ins")}));
  QClipboard* clipboard = QGuiApplication::clipboard();

  // Nothing to paste: nothing happens, and nothing is said.
  clipboard->clear();
  QVERIFY(s.Enabled(kIdPaste));
  paste->trigger();
  QVERIFY(s.Rows().isEmpty());
  QVERIFY(s.prompts.messages.empty());

  HBITMAP picture = PatternBitmap(32, 24, 3);
  clipboard->setImage(ImageFromBitmap(*picture));
  paste->trigger();
  QCOMPARE(s.Rows(), QStringList({"Image0.bmp:1"}));
  const std::string saved = s.home.File("Images/Image0.bmp");
  CBmp back;
  QVERIFY(back.Load(saved));
  QCOMPARE(RgbOf(back), RgbOf(*picture));
  QCOMPARE(s.doc().LookUpPath("Image0.bmp"), saved);
  QCOMPARE(s.app->frameState().projectSize, (ProjectSize{32, 24}));
  QCOMPARE(s.grid()->currentIndex().row(), 0);  // the new image is selected and shown
  QCOMPARE(s.frame()->view()->picturePath(), saved);

  // Another size is refused with the message; the refused picture is not shown, so it
  // does not become the project's size either.
  clipboard->setImage(Solid(16, 16, Qt::green));
  paste->trigger();
  QCOMPARE(s.prompts.messages.size(), size_t{1});
  QCOMPARE(s.prompts.messages[0],
           std::string("All images must be the same size (32x24 for this project)"));
  QCOMPARE(s.Rows(), QStringList({"Image0.bmp:1"}));
  s.frame()->view()->grab();
  QCOMPARE(s.app->frameState().projectSize, (ProjectSize{32, 24}));
  QVERIFY(!fs::exists(s.home.File("Images/Image1.bmp")));

  // With the last row selected a paste appends; with an earlier one it goes after it.
  clipboard->setImage(Solid(32, 24, Qt::blue));
  paste->trigger();
  s.ClickRow(0);
  clipboard->setImage(Solid(32, 24, Qt::yellow));
  paste->trigger();
  QCOMPARE(s.Rows(), QStringList({"Image0.bmp:1", "Image2.bmp:1", "Image1.bmp:1"}));
  QCOMPARE(s.grid()->currentIndex().row(), 1);
  QImage shot = s.frame()->view()->grab().toImage();
  QPoint at = CFramewrightView::PicturePosition(s.frame()->view()->size(), QSize(32, 24));
  QCOMPARE(shot.pixel(at + QPoint(5, 5)), QColor(Qt::yellow).rgb());
  QCOMPARE(s.prompts.messages.size(), size_t{1});
}

void MediaToolsTest::autoPasteTakesEachPictureOnce() {
  Session s;
  QVERIFY(s.Start());
  QClipboard* clipboard = QGuiApplication::clipboard();
  clipboard->clear();
  QAction* autoPaste = s.frame()->Action(kIdAutoPaste);
  autoPaste->trigger();
  QVERIFY(autoPaste->isChecked());
  QVERIFY(s.frame()->autoPasteTimer()->isActive());
  QCOMPARE(s.frame()->autoPasteTimer()->interval(), 400);

  clipboard->setImage(Solid(20, 10, Qt::red));
  QTRY_COMPARE_WITH_TIMEOUT(s.Rows().size(), 1, 5000);
  QVERIFY(ClipboardImage().isNull());  // taken away, so that it is not taken again
  QTest::qWait(900);
  QCOMPARE(s.Rows().size(), 1);

  // Another size is dropped without a word and left where it is.
  clipboard->setImage(Solid(30, 30, Qt::green));
  QTest::qWait(900);
  QCOMPARE(s.Rows().size(), 1);
  QVERIFY(s.prompts.messages.empty());
  QCOMPARE(ClipboardImage().size(), QSize(30, 30));

  clipboard->setImage(Solid(20, 10, Qt::blue));
  QTRY_COMPARE_WITH_TIMEOUT(s.Rows().size(), 2, 5000);

  // A picture that cannot be saved stays on the clipboard: nothing is lost.
  std::filesystem::rename(s.home.File("Images"), s.home.File("Images.away"));
  quendrolix::testing::WriteText(s.home.File("Images"), "a file in the folder's place");
  clipboard->setImage(Solid(20, 10, Qt::cyan));
  QTest::qWait(900);
  QCOMPARE(s.Rows().size(), 2);
  QCOMPARE(ClipboardImage().pixel(1, 1), QColor(Qt::cyan).rgb());
  std::filesystem::remove(s.home.File("Images"));
  std::filesystem::rename(s.home.File("Images.away"), s.home.File("Images"));
  QTRY_COMPARE_WITH_TIMEOUT(s.Rows().size(), 3, 5000);

  autoPaste->trigger();
  QVERIFY(!autoPaste->isChecked());
  QVERIFY(!s.frame()->autoPasteTimer()->isActive());
  clipboard->setImage(Solid(20, 10, Qt::black));
  QTest::qWait(900);
  QCOMPARE(s.Rows().size(), 3);  // the failed attempts used up numbers of their own
  QCOMPARE(s.Rows().mid(0, 2), QStringList({"Image0.bmp:1", "Image1.bmp:1"}));
}

void MediaToolsTest::copyAndCutPutThePictureOnTheClipboard() {
  Session s;
  QVERIFY(s.Start());
  QVERIFY(!s.Enabled(kIdCopy));
  QVERIFY(!s.Enabled(kIdCut));
  HBITMAP one = WriteBmp(s.home.File("one.bmp"), 24, 16, 5);
  HBITMAP two = WriteBmp(s.home.File("two.bmp"), 24, 16, 6);
  s.frame()->ImportFiles({s.File("one.bmp"), s.File("two.bmp")});
  s.ClickRow(0);
  s.frame()->view()->grab();
  QVERIFY(s.Enabled(kIdCopy));
  QVERIFY(s.Enabled(kIdCut));

  QGuiApplication::clipboard()->clear();
  s.frame()->Action(kIdCopy)->trigger();
  QCOMPARE(ClipboardImage(), ImageFromBitmap(*one));
  QCOMPARE(s.Rows().size(), 2);

  s.ClickRow(1);
  s.frame()->view()->grab();
  s.frame()->Action(kIdCut)->trigger();
  QCOMPARE(ClipboardImage(), ImageFromBitmap(*two));
  QCOMPARE(s.Rows(), QStringList({"one.bmp:1"}));

  // A picture's palette travels with it through the system clipboard.
  std::vector<PALETTEENTRY> entries = {{10, 20, 30, 0}, {200, 100, 50, 0}, {1, 2, 3, 0}};
  CBmp paletted;
  paletted.Attach(PatternBitmap(8, 8), Palette::Create(entries));
  QVERIFY(paletted.CopyToClipboard(TheClipboard()));
  QVERIFY(QGuiApplication::clipboard()->mimeData()->hasFormat(QtClipboard::kPaletteMime));
  CBmp pasted;
  QVERIFY(pasted.PasteFromClipboard(TheClipboard()));
  QVERIFY(pasted.palette());
  QCOMPARE(pasted.palette()->size(), entries.size());
  QCOMPARE(pasted.palette()->Colour(1), RGB(200, 100, 50));
  QCOMPARE(RgbOf(pasted), RgbOf(*PatternBitmap(8, 8)));
}

void MediaToolsTest::importDialogPreviewsTheSelection() {
  TempDir dir;
  {
    CBmp wide;
    HBITMAP bitmap = Bitmap::Create(80, 40);
    bitmap->Fill(BgrxFromColour(RGB(0, 128, 255)));
    wide.Attach(bitmap);
    QVERIFY(wide.Save(dir.File("wide.bmp")));
  }
  WriteText(dir.File("notes.bmp"), "not a picture");
  PreviewFileDialog dialog(nullptr, "Import Images", QString::fromStdString(dir.path().string()),
                           kImageFilter, true);
  ImagePreviewWidget* preview = dialog.preview();
  QCOMPARE(preview->title(), QString("Preview"));
  QCOMPARE(preview->showPreview()->text(), QString("Show Preview"));
  QVERIFY(preview->showPreview()->isChecked());
  QVERIFY(dialog.testOption(QFileDialog::DontUseNativeDialog));
  dialog.show();
  QVERIFY(QTest::qWaitForWindowExposed(&dialog));

  // The panel follows the file the user moves to in the list.
  auto* list = dialog.findChild<QTreeView*>("treeView");
  QVERIFY(list);
  auto* files = qobject_cast<QFileSystemModel*>(list->model());
  QVERIFY(files);
  auto moveTo = [&](const char* name) {
    QModelIndex index = files->index(QString::fromStdString(dir.File(name)));
    QTRY_VERIFY(index.isValid() && files->rowCount(index.parent()) == 2);
    list->setCurrentIndex(index);
  };
  moveTo("wide.bmp");
  QTRY_COMPARE(preview->widthLabel()->text(), QString("Width: 80 pixels"));
  Shoot(&dialog, "import_preview");
  QCOMPARE(preview->heightLabel()->text(), QString("Height: 40 pixels"));
  // Fitted into the area with its proportions kept: full width, centred vertically.
  QWidget* area = preview->area();
  QImage shot = area->grab().toImage();
  QCOMPARE(shot.pixel(area->width() / 2, area->height() / 2), qRgb(0, 128, 255));
  QCOMPARE(shot.pixel(2, area->height() / 2), qRgb(0, 128, 255));
  QVERIFY(shot.pixel(area->width() / 2, 2) != qRgb(0, 128, 255));

  moveTo("notes.bmp");
  QTRY_VERIFY(preview->widthLabel()->text().isEmpty());

  moveTo("wide.bmp");
  QTRY_VERIFY(!preview->widthLabel()->text().isEmpty());
  preview->showPreview()->click();
  QVERIFY(preview->widthLabel()->text().isEmpty());
  QVERIFY(preview->heightLabel()->text().isEmpty());
  // The choice holds for the next such dialog of this run.
  PreviewFileDialog next(nullptr, "Logo", QString(), kImageFilter, false);
  QVERIFY(!next.preview()->showPreview()->isChecked());
}

void MediaToolsTest::recorderRecordsPlaysAndSaves() {
  TempDir dir;
  const std::vector<uint8_t> sound =
      quendrolix::testing::WritePcmWav(dir.File("in.wav"), 44100, 2, 16, 22050, 7);
  std::unique_ptr<SoundBackend> backend =
      MakeFileSoundBackend(dir.File("in.wav"), dir.File("played.wav"));
  ScriptedChooser chooser;
  RecordingPrompts prompts;
  ScopedPrompts scoped(prompts);
  using namespace recorder_dialog;

  RecorderDlg dialog(*backend, chooser, nullptr, QString::fromStdString(dir.path().string()));
  QCOMPARE(dialog.windowTitle(), QString("MP3/WAV Sound Recorder"));
  QCOMPARE(dialog.elapsedLabel()->text(), QString("0 hrs 0 min 0 sec"));
  QVERIFY(!dialog.button(kPlayButton)->isEnabled());
  QVERIFY(!dialog.button(kSaveButton)->isEnabled());
  dialog.show();
  QVERIFY(QTest::qWaitForWindowExposed(&dialog));
  Shoot(&dialog, "recorder");

  // Record starts a moment after the click, with the clock running.
  QTest::mouseClick(dialog.button(kRecordButton), Qt::LeftButton);
  QVERIFY(dialog.TimerRunning(kStartTimer));
  QTRY_VERIFY(dialog.button(kPlayButton)->isEnabled());
  QVERIFY(dialog.button(kSaveButton)->isEnabled());
  QVERIFY(!dialog.TimerRunning(kStartTimer));
  QVERIFY(dialog.TimerRunning(kElapsedTimer));
  QVERIFY(dialog.recorder().device().WaitUntilIdle(std::chrono::seconds(10)));
  QCOMPARE(dialog.recorder().device().recordedFrames(), uint64_t{22050});

  QTest::mouseClick(dialog.button(kStopButton), Qt::LeftButton);
  QVERIFY(!dialog.TimerRunning(kElapsedTimer));

  QTest::mouseClick(dialog.button(kPlayButton), Qt::LeftButton);
  QVERIFY(dialog.recorder().device().WaitUntilIdle(std::chrono::seconds(10)));
  QTest::mouseClick(dialog.button(kStopButton), Qt::LeftButton);
  QCOMPARE(WavData(dir.File("played.wav")), sound);

  chooser.saveAnswers << QString::fromStdString(dir.File("take.wav"));
  QTest::mouseClick(dialog.button(kSaveButton), Qt::LeftButton);
  QCOMPARE(chooser.lastFilter, QString("MP3 File|*.mp3|WAV File|*.wav||"));
  QCOMPARE(WavData(dir.File("take.wav")), sound);
  QVERIFY(dialog.button(kPlayButton)->isEnabled());  // a WAV save keeps the recording

  chooser.saveAnswers << QString::fromStdString(dir.File("take.ogg"));
  QTest::mouseClick(dialog.button(kSaveButton), Qt::LeftButton);
  QVERIFY(prompts.HasMessage("The specified format it not supported."));
  QVERIFY(!fs::exists(dir.File("take.ogg")));

  // Closing the window closes the device.
  QTest::mouseClick(dialog.closeButton(), Qt::LeftButton);
  QVERIFY(dialog.isHidden());
  QVERIFY(!dialog.recorder().deviceOpen());
}

void MediaToolsTest::mergeDialogOffersDoItWhenReady() {
  TempDir dir;
  WriteText(dir.File("anim.m1v"), "video");
  WriteText(dir.File("tune.mp2"), "sound");
  ScriptedChooser chooser;
  using namespace merge_dialog;
  MergeDlg dialog(MergeForm::kMpg, chooser, QString::fromStdString(dir.path().string()));
  QCOMPARE(dialog.windowTitle(), QString("Merge MPG with AVI / WAV / MP2"));
  QCOMPARE(dialog.prompt(kAnimationButton)->text(), QString("Select input file (MPG animation)"));
  QCOMPARE(dialog.prompt(kSoundButton)->text(),
           QString("Select sound file to merge it with (AVI, WAV, or MP2)"));
  QCOMPARE(dialog.prompt(kOutputButton)->text(),
           QString("Specify the name of the output file (MPG)"));
  QCOMPARE(dialog.okButton()->text(), QString("&Do it!"));
  QVERIFY(!dialog.okButton()->isEnabled());
  dialog.show();
  QVERIFY(QTest::qWaitForWindowExposed(&dialog));

  const QString anim = QString::fromStdString(dir.File("anim.m1v"));
  chooser.openAnswers << QStringList{anim};
  QTest::mouseClick(dialog.button(kAnimationButton), Qt::LeftButton);
  QCOMPARE(dialog.button(kAnimationButton)->text(), anim);
  QVERIFY(!dialog.okButton()->isEnabled());

  chooser.openAnswers << QStringList{QString::fromStdString(dir.File("missing.wav"))};
  QTest::mouseClick(dialog.button(kSoundButton), Qt::LeftButton);
  chooser.saveAnswers << QString::fromStdString(dir.File("out.mpg"));
  QTest::mouseClick(dialog.button(kOutputButton), Qt::LeftButton);
  QVERIFY(!dialog.okButton()->isEnabled());  // the sound is not there

  chooser.openAnswers << QStringList();  // cancelled: the choice stands
  QTest::mouseClick(dialog.button(kSoundButton), Qt::LeftButton);
  QCOMPARE(dialog.button(kSoundButton)->text(), QString::fromStdString(dir.File("missing.wav")));
  chooser.openAnswers << QStringList{QString::fromStdString(dir.File("tune.mp2"))};
  QTest::mouseClick(dialog.button(kSoundButton), Qt::LeftButton);
  QVERIFY(dialog.okButton()->isEnabled());
  Shoot(&dialog, "merge");

  dialog.SetOutput(QString());
  QVERIFY(!dialog.okButton()->isEnabled());
}

void MediaToolsTest::mergeCommandWritesSystemStream() {
  Session s;
  QVERIFY(s.Start());
  using namespace quendrolix::testing;
  WriteBytes(s.home.File("anim.m1v"),
             MakeVideoStream(IbbpPictures(12, 12, [](unsigned, unsigned) { return 900; })));
  WriteBytes(s.home.File("tune.mp2"), MakeAudioStream(30));
  s.chooser.openAnswers << QStringList{s.File("anim.m1v")} << QStringList{s.File("tune.mp2")};
  s.chooser.saveAnswers << s.File("joined");

  // The dialog is modal: answer it as a user would, once it shows.
  bool answered = false;
  QTimer::singleShot(0, [&] {
    auto* dialog = qobject_cast<MergeDlg*>(QApplication::activeModalWidget());
    if (!dialog) return;
    for (int id :
         {merge_dialog::kAnimationButton, merge_dialog::kSoundButton, merge_dialog::kOutputButton})
      QTest::mouseClick(dialog->button(id), Qt::LeftButton);
    answered = dialog->okButton()->isEnabled();
    QTest::mouseClick(dialog->okButton(), Qt::LeftButton);
  });
  s.frame()->RunCommand(kIdMergeMpgSound);
  QVERIFY(answered);

  ConversionLogWindow* log = s.frame()->conversionLog();
  QStringList lines = log->Lines();
  QCOMPARE(lines.value(0), QString("Multiplexing..."));
  QCOMPARE(lines.value(lines.size() - 1), QString("Mp2 engine closed"));
  QVERIFY(log->isVisible());
  QVERIFY(!log->busy());
  const std::string output = s.home.File("joined.mpg");
  ParsedSystemStream stream = ParseSystemStream(ReadBytes(output));
  QVERIFY2(stream.error.empty(), stream.error.c_str());
  QVERIFY(stream.endCode);
  QVERIFY(!stream.Payload(0xE0).empty());
  QVERIFY(!stream.Payload(0xC0).empty());
  QCOMPARE(s.app->frameState().lastOutputFile, output);
  QCOMPARE(log->file(), QString::fromStdString(output));
  QVERIFY(s.prompts.messages.empty());

  // A fatal engine error shows its text and the recovery message; a worker thread's
  // report reaches the window through the GUI thread.
  ReportFatal("malloc failed");
  QCOMPARE(s.prompts.messages,
           std::vector<std::string>({"malloc failed", ConversionLogWindow::kRecoveryFailed}));
  std::thread worker([] { ReportLine("from a worker"); });
  worker.join();
  QTRY_COMPARE(log->Lines().last(), QString("from a worker"));
}

void MediaToolsTest::wavToMp2CommandWritesBesideEachSource() {
  Session s;
  QVERIFY(s.Start());
  quendrolix::testing::WriteToneWav(s.home.File("tone.wav"), 22050, 1, 0.5);
  WriteText(s.home.File("noise.wav"), "not a sound");
  s.chooser.openAnswers << QStringList{s.File("tone.wav"), s.File("noise.wav")};

  // While it runs the log is busy and no command can start.
  bool sawBusy = false, sawCommandsOff = true;
  QTimer::singleShot(0, [&] {
    sawBusy = s.frame()->conversionLog()->busy();
    for (int id : {kIdPaste, kIdWavToMp2, kIdNewProject, kIdRecorder})
      sawCommandsOff = sawCommandsOff && !s.frame()->Action(id)->isEnabled();
  });
  s.frame()->RunCommand(kIdWavToMp2);
  QCOMPARE(s.chooser.lastFilter, QString("Sound Files (*.avi, *.wav)|*.avi;*.wav||"));
  QVERIFY(sawBusy);
  QVERIFY(sawCommandsOff);

  std::vector<uint8_t> mp2 = ReadBytes(s.home.File("tone.mp2"));
  QVERIFY(mp2.size() > 1000);
  QCOMPARE(mp2[0], uint8_t{0xFF});
  QCOMPARE(mp2[1] & 0xFE, 0xFC);  // MPEG-1 layer II
  QVERIFY(!fs::exists(s.home.File("noise.mp2")));

  ConversionLogWindow* log = s.frame()->conversionLog();
  QStringList lines = log->Lines();
  QVERIFY(lines.contains("Number of audio channels: 1"));
  QVERIFY(lines.contains("Audio sampling rate: 22.050KHz (16 bits per sample)"));
  QVERIFY(lines.contains("Audio stream closed"));
  QVERIFY(lines.filter(QRegularExpression("^Error: .*noise\\.wav")).size() == 1);
  QCOMPARE(lines.last(), QString("Conversion completed"));
  QCOMPARE(lines.count("Conversion completed"), 1);
  QVERIFY(log->isVisible());
  QVERIFY(!log->busy());
  QCOMPARE(log->stateLabel()->text(), QString("Idle"));
  QCOMPARE(s.app->frameState().lastOutputFile, s.home.File("tone.mp2"));
  QVERIFY(s.Enabled(kIdWavToMp2));
  Shoot(log, "progress");
}

void MediaToolsTest::wavToMp3CommandUsesTheEncoderLibrary() {
  Session s;
  QVERIFY(s.Start());
  quendrolix::testing::WriteToneWav(s.home.File("tone.wav"), 44100, 2, 0.5);
  s.chooser.openAnswers << QStringList{s.File("tone")};  // the default extension is added
  s.frame()->RunCommand(kIdWavToMp3);
  QCOMPARE(s.chooser.lastFilter, QString("Sound Files (*.wav)|*.wav||"));

  quendrolix::testing::Mp3Summary mp3 =
      quendrolix::testing::ScanMp3(ReadBytes(s.home.File("tone.mp3")));
  QVERIFY(mp3.valid);
  QVERIFY(mp3.frames > 10);
  ConversionLogWindow* log = s.frame()->conversionLog();
  QStringList lines = log->Lines();
  QCOMPARE(lines.value(0), QString("Starting Mp3 engine..."));
  QVERIFY(lines.contains("tone.wav"));
  QCOMPARE(lines.last(), QString("Conversion completed"));
  QVERIFY(log->progressBar()->value() > 50);
  QVERIFY(!log->busy());
  QCOMPARE(s.app->frameState().lastOutputFile, s.home.File("tone.mp3"));
  QVERIFY(s.Enabled(kIdWavToMp3));
}

void MediaToolsTest::recorderCommandSavesMp3() {
  Session s;
  QVERIFY(s.Start());
  quendrolix::testing::WritePcmWav(s.home.File("voice.wav"), 44100, 1, 16, 44100, 3);
  const std::string capture = s.home.File("voice.wav");
  s.frame()->SetSoundBackendFactory([capture] { return MakeFileSoundBackend(capture, {}); });
  QVERIFY(s.frame()->Action(kIdRecorder)->shortcuts().contains(QKeySequence("F3")));
  s.chooser.saveAnswers << s.File("take.MP3");

  // The recorder is modal: record, stop and save as a user would, then close it.
  bool saved = false, stillPlayable = true;
  QTimer::singleShot(0, [&] {
    auto* dialog = qobject_cast<RecorderDlg*>(QApplication::activeModalWidget());
    if (!dialog) return;
    using namespace recorder_dialog;
    QTest::mouseClick(dialog->button(kRecordButton), Qt::LeftButton);
    if (!QTest::qWaitFor([&] { return dialog->recorder().deviceOpen(); }, 5000)) return;
    dialog->recorder().device().WaitUntilIdle(std::chrono::seconds(10));
    QTest::mouseClick(dialog->button(kStopButton), Qt::LeftButton);
    QTest::mouseClick(dialog->button(kSaveButton), Qt::LeftButton);
    saved = true;
    stillPlayable = dialog->button(kPlayButton)->isEnabled();
    QTest::mouseClick(dialog->closeButton(), Qt::LeftButton);
  });
  s.frame()->RunCommand(kIdRecorder);
  QVERIFY(saved);
  QVERIFY(!stillPlayable);  // an MP3 save discards the recording

  quendrolix::testing::Mp3Summary mp3 =
      quendrolix::testing::ScanMp3(ReadBytes(s.home.File("take.MP3")));
  QVERIFY(mp3.valid);
  QVERIFY(!fs::exists(s.home.File("take.wav")));  // the WAV on the way is gone
  ConversionLogWindow* log = s.frame()->conversionLog();
  QVERIFY(log->Lines().contains(
      QString::fromStdString("Save of " + s.home.File("take.MP3") + " completed")));
  QVERIFY(log->isHidden());
  QVERIFY(!log->busy());
  QVERIFY(s.Enabled(kIdRecorder));
}
