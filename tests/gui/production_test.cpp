#include "production_test.h"

#include <QAction>
#include <QApplication>
#include <QTimer>
#include <QtTest>
#include <filesystem>
#include <functional>

#include "avi/codec_options.h"
#include "avi/frame_composition.h"
#include "avi_to_mpg_dlg.h"
#include "command_table.h"
#include "company_logo_dlg.h"
#include "compression_dlg.h"
#include "conversion_log_window.h"
#include "gif_output_settings_dlg.h"
#include "gui_session.h"
#include "image/gif/gif_output_settings.h"
#include "mpg_output_options_dlg.h"
#include "platform/host/program_folder.h"
#include "platform/vfw/codec.h"
#include "playback_window.h"
#include "quick_create_dlg.h"
#include "support/avi_fixtures.h"

using namespace quendrolix;
using namespace quendrolix::app;
using quendrolix::gui_testing::Session;
using quendrolix::gui_testing::WhenModal;
using quendrolix::testing::FfprobeStreams;
using quendrolix::testing::ReadBytes;
using quendrolix::testing::WritePatternBmp;
using quendrolix::testing::WriteSquareBmp;
using quendrolix::testing::WriteText;
namespace fs = std::filesystem;

namespace {

// With QUENDROLIX_GUI_SHOTS set, saves a picture of the window there, for a person to look
// at.
void Shoot(QWidget* window, const char* name) {
  QByteArray folder = qgetenv("QUENDROLIX_GUI_SHOTS");
  if (!folder.isEmpty()) window->grab().save(QString::fromUtf8(folder) + "/" + name + ".png");
}

// The finished file went to the player window, which shows its first picture and plays.
bool Played(const Session& s, const QString& path) {
  PlaybackWindow* player = s.frame()->playbackWindow();
  return player && player->file() == path && player->isVisible() &&
         player->nameText() == QFileInfo(path).fileName() && player->error().isEmpty() &&
         !player->shownPicture().isNull();
}

std::string VideoFrames(const QString& path) {
  return FfprobeStreams(path.toStdString(), "nb_read_frames", "v:0", true);
}

int Int32At(const std::vector<uint8_t>& bytes, size_t at) {
  return static_cast<int>(uint32_t{bytes[at]} | uint32_t{bytes[at + 1]} << 8 |
                          uint32_t{bytes[at + 2]} << 16 | uint32_t{bytes[at + 3]} << 24);
}

// A project of two 64 x 48 images shown 2 and 3 frames.
void TwoImageProject(Session& s) {
  WritePatternBmp(s.home.File("a.bmp"), 64, 48, 1);
  WritePatternBmp(s.home.File("b.bmp"), 64, 48, 2);
  s.frame()->ImportFiles({s.File("a.bmp"), s.File("b.bmp")});
  s.doc().list().SetCell(1, 1, "2");
  s.doc().list().SetCell(2, 1, "3");
}

}  // namespace

void ProductionTest::init() {
  // Program-wide options outlive a session; every case starts from the start values.
  TheGifOutputSettings() = GifOutputSettings();
  ResetCodecOptions();
  TheLogoPictures().Release();
}

void ProductionTest::cleanup() {
  init();
  ProgramFolder::SetOverride({});
}

void ProductionTest::createAndConvertWriteFilesThatPlay() {
  Session s;
  QVERIFY(s.Start());
  TwoImageProject(s);

  // Create offers GIF and MP4 beside AVI and MPG and writes the AVI the dialog was answered
  // with.
  const QString avi = s.File("out.avi");
  s.chooser.saveAnswers << avi;
  s.frame()->Action(kIdCreate)->trigger();
  QCOMPARE(s.chooser.lastFilter,
           QString("AVI Files|*.avi|MPG Files|*.mpg;*.mpeg|GIF Files|*.gif|MP4 Files|*.mp4||"));
  QVERIFY(fs::exists(avi.toStdString()));
  QCOMPARE(VideoFrames(avi), std::string("5\n"));
  QCOMPARE(s.app->frameState().lastOutputFile, avi.toStdString());
  QVERIFY(Played(s, avi));
  QVERIFY(s.Enabled(kIdCreate));  // the build is over: commands are offered again

  // MPG Output Options: Layer 1 keeps the bit-rate position; "25" is stored and used.
  QString shownRate, shownVideoRate;
  WhenModal<MpgOutputOptionsDlg>([&](MpgOutputOptionsDlg* dialog) {
    dialog->layerButton(0)->click();
    shownRate = dialog->bitRateBox()->currentText();
    dialog->frameRateBox()->setCurrentIndex(5);
    shownVideoRate = dialog->videoRateBox()->text();
    dialog->videoRateBox()->setValue(2000);
    Shoot(dialog, "mpg_output_options");
    dialog->accept();
  });
  s.frame()->Action(kIdMpgOutputSettings)->trigger();
  QCOMPARE(shownRate, QString("256"));
  int16_t layer = -1, bitrate = -1, fps = -1;
  QVERIFY(s.doc().store().GetInteger("MPEG", "Layer", layer));
  QVERIFY(s.doc().store().GetInteger("MPEG", "Bitrate", bitrate));
  QVERIFY(s.doc().store().GetInteger("MPEG", "FPS", fps));
  QCOMPARE(layer, int16_t{0});
  QCOMPARE(bitrate, int16_t{7});
  QCOMPARE(fps, int16_t{5});
  QCOMPARE(shownVideoRate, QString("automatic"));
  std::string videoRate;
  QVERIFY(s.doc().store().GetString("MPEG", "VideoBitrate", videoRate));
  QCOMPARE(videoRate, std::string("2000"));

  const QString mpg = s.File("out.mpg");
  s.chooser.saveAnswers << mpg;
  s.frame()->Action(kIdCreate)->trigger();
  QVERIFY(fs::exists(mpg.toStdString()));
  // The project's 5 frames at 10 fps (0.5 s), held for the nearest frames at the chosen 25.
  QCOMPARE(QString::fromStdString(
               FfprobeStreams(mpg.toStdString(), "r_frame_rate,nb_read_frames", "v:0", true)),
           QString("25/1,13\n"));
  QCOMPARE(s.frame()->conversionLog()->file(), mpg);
  QVERIFY(Played(s, mpg));
  if (s.frame()->playbackWindow()) {
    QTest::qWait(300);
    Shoot(s.frame()->playbackWindow(), "player");
  }

  // View Animation plays what it is given in the same way.
  s.chooser.openAnswers << QStringList{avi};
  s.frame()->Action(kIdViewAnimation)->trigger();
  QVERIFY(Played(s, avi));

  // AVI -> MPG: "Do it!" waits for files; the AVI becomes an .mpeg beside it.
  bool doItAtFirst = true;
  QString caption;
  s.chooser.openAnswers << QStringList{avi};
  WhenModal<AviToMpgDlg>([&](AviToMpgDlg* dialog) {
    doItAtFirst = dialog->doItButton()->isEnabled();
    dialog->inputButton()->click();
    caption = dialog->inputButton()->text();
    dialog->extensionButton(AviToMpgRequest::kMpeg)->click();
    Shoot(dialog, "avi_to_mpg");
    dialog->doItButton()->click();
  });
  s.frame()->Action(kIdAviToMpg)->trigger();
  QVERIFY(!doItAtFirst);
  QCOMPARE(caption, QString("Number of files selected: 1"));
  const QString mpeg = s.File("out.mpeg");
  QVERIFY(fs::exists(mpeg.toStdString()));
  QCOMPARE(VideoFrames(mpeg).empty(), false);
  QStringList lines = s.frame()->conversionLog()->Lines();
  QVERIFY(lines.contains("Starting MPG engine..."));
  QCOMPARE(lines.last(), QString("MPG engine closed"));
  QCOMPARE(s.frame()->conversionLog()->file(), mpeg);
  QVERIFY(!s.frame()->conversionLog()->busy());
}

void ProductionTest::createGifOpensItsOptionsFirst() {
  Session s;
  QVERIFY(s.Start());
  TwoImageProject(s);

  // Cancelled options make nothing and change nothing.
  WhenModal<GifOutputSettingsDlg>([](GifOutputSettingsDlg* dialog) {
    dialog->interlacedBox()->setChecked(true);
    dialog->reject();
  });
  s.chooser.saveAnswers << s.File("none.gif");
  s.frame()->Action(kIdCreate)->trigger();
  QVERIFY(!fs::exists(s.home.File("none.gif")));
  QVERIFY(!TheGifOutputSettings().Interlaced());

  // OK runs with the options taken from the dialog (a repeat count of 300 is 255); "Save
  // settings as default" also puts them in the settings file.
  bool repeatEditWasEnabled = true;
  WhenModal<GifOutputSettingsDlg>([&](GifOutputSettingsDlg* dialog) {
    repeatEditWasEnabled = dialog->repeatEdit()->isEnabled();
    dialog->interlacedBox()->setChecked(true);
    dialog->loopForeverButton()->click();
    dialog->repeatButton()->click();
    dialog->repeatEdit()->setText("300");
    Shoot(dialog, "gif_options");
    dialog->saveDefaultButton()->click();
    dialog->accept();
  });
  const QString gif = s.File("out.gif");
  s.chooser.saveAnswers << gif;
  s.frame()->Action(kIdCreate)->trigger();
  QVERIFY(repeatEditWasEnabled);  // the start value 1 is "Repeat the animation"
  QVERIFY(TheGifOutputSettings().Interlaced());
  QCOMPARE(int(TheGifOutputSettings().Play()), 255);
  int16_t stored = 0;
  QVERIFY(s.doc().store().GetInteger(kGifSettingsSection, "Play", stored));
  QCOMPARE(stored, int16_t{255});
  {
    std::vector<uint8_t> bytes = ReadBytes(gif.toStdString());
    QVERIFY(bytes.size() > 6 && std::string(bytes.begin(), bytes.begin() + 6) == "GIF89a");
    // One frame per image, each shown for its count at the project's 10 frames/s: 0.5 s.
    QCOMPARE(VideoFrames(gif), std::string("2\n"));
    QVERIFY(std::abs(quendrolix::testing::FfprobeDuration(gif.toStdString()) - 0.5) < 0.005);
    QVERIFY(Played(s, gif));
  }

  // With "Open this dialog before saving" off, no dialog comes between.
  TheGifOutputSettings().SetShowDialog(false);
  bool asked = false;
  WhenModal<GifOutputSettingsDlg>([&](GifOutputSettingsDlg* dialog) {
    asked = true;
    dialog->reject();
  });
  s.chooser.saveAnswers << s.File("quiet.gif");
  s.frame()->Action(kIdCreate)->trigger();
  QTest::qWait(100);
  QVERIFY(!asked);
}

void ProductionTest::quickCreateAndUnattendedBuild() {
  {
    Session s;
    QVERIFY(s.Start());
    fs::create_directories(s.home.File("q"));
    WritePatternBmp(s.home.File("q/2.bmp"), 32, 32, 2);
    WritePatternBmp(s.home.File("q/1.bmp"), 32, 32, 1);
    const QString output = s.File("quick.avi");
    bool createAtFirst = true;
    s.chooser.saveAnswers << output;
    WhenModal<QuickCreateDlg>([&](QuickCreateDlg* dialog) {
      createAtFirst = dialog->createButton()->isEnabled();
      dialog->SetFolder(s.File("q"));
      Shoot(dialog, "quick_create");
      dialog->createButton()->click();
    });
    s.frame()->Action(kIdQuickCreate)->trigger();
    QVERIFY(!createAtFirst);
    QVERIFY(fs::exists(output.toStdString()));
    QCOMPARE(VideoFrames(output), std::to_string(2 * s.doc().DefaultFrameCount()) + "\n");
    QCOMPARE(s.app->frameState().lastOutputFile, output.toStdString());
    QVERIFY(Played(s, output));
  }

  // A job that builds ends the program; one that fails stays open with the error shown.
  Session s;
  const std::string image = WritePatternBmp(s.home.File("one.bmp"), 32, 32, 3);
  const std::string output = s.home.File("job.avi");
  const std::string job = s.home.File("job.ini");
  WriteText(job, "[General]\r\nAuto=1\r\nOutput=" + output + "\r\n[Images]\r\n0=" + image +
                     ",3\r\n1=" + image + ",1\r\n");
  QVERIFY(s.Start({QString::fromStdString(job)}));
  QTRY_VERIFY(!s.frame()->isVisible());
  QCOMPARE(VideoFrames(QString::fromStdString(output)), std::string("4\n"));
  QVERIFY(s.prompts.messages.empty());
  // The job's list is no unsaved work: the program ended without asking to save it.
  QVERIFY(s.prompts.questions.empty());
}

void ProductionTest::codecDialogAsksBeforeSaving() {
  Session s;
  QVERIFY(s.Start());
  const std::string saved = s.home.File("AVI.codec");
  auto choose = [&](const QString& name, int quality, bool ok) {
    WhenModal<CompressionDlg>([=](CompressionDlg* dialog) {
      dialog->compressorBox()->setCurrentIndex(dialog->compressorBox()->findText(name));
      dialog->qualitySlider()->setValue(quality);
      Shoot(dialog, "compression");
      if (ok)
        dialog->accept();
      else
        dialog->reject();
    });
    s.frame()->Action(kIdAviCodec)->trigger();
  };

  // Cancel asks nothing and keeps the options.
  choose("Full Frames (Uncompressed)", 10, false);
  QVERIFY(s.prompts.questions.empty());
  QCOMPARE(CodecOptions().fccHandler, kHandlerVideo1);
  QVERIFY(!fs::exists(s.home.File("ZQTemp.AVI")));

  // OK, then No: the choice is in force for this run but not saved.
  s.prompts.answers = {false};
  choose("Full Frames (Uncompressed)", 10, true);
  QCOMPARE(s.prompts.questions,
           std::vector<std::string>{"Would you like to set the current options as default?"});
  QCOMPARE(CodecOptions().fccHandler, kHandlerFullFrames);
  QVERIFY(!fs::exists(saved));

  // Yes writes "AVI.codec": 'vids', the compressor, key frames, quality 100 x the slider.
  s.prompts.answers = {true};
  choose("MS Video 1", 50, true);
  std::vector<uint8_t> bytes = ReadBytes(saved);
  QCOMPARE(bytes.size(), size_t{32});
  QCOMPARE(std::string(bytes.begin(), bytes.begin() + 8), std::string("vidsmsvc"));
  QCOMPARE(Int32At(bytes, 12), 5000);
  QVERIFY(
      s.prompts.HasMessage("Options saved to AVI.codec file. If you uninstall the codec, "
                           "please delete AVI.codec before running Quendrolix."));

  // RLE cannot take the project's 24-bit frames: OK says why and the dialog stays open;
  // the library compressors are in the list and taken.
  s.prompts.answers = {false};
  bool stayedOpen = false;
  WhenModal<CompressionDlg>([&](CompressionDlg* dialog) {
    QVERIFY(dialog->compressorBox()->findText("H.264 (x264)") >= 0);
    dialog->compressorBox()->setCurrentIndex(
        dialog->compressorBox()->findText("Run Length Encoding (RLE8)"));
    dialog->accept();
    stayedOpen = dialog->isVisible();
    dialog->compressorBox()->setCurrentIndex(dialog->compressorBox()->findText("H.264 (x264)"));
    dialog->accept();
  });
  s.frame()->Action(kIdAviCodec)->trigger();
  QVERIFY(stayedOpen);
  QVERIFY(s.prompts.HasMessage(
      "Run Length Encoding (RLE8) takes only 8-bit frames, not the project's 24-bit ones. "
      "Choose another compressor, or set the colour depth to 8 bits."));
  QCOMPARE(CodecOptions().fccHandler, MakeFourCC('H', '2', '6', '4'));
}

void ProductionTest::logoDialogStampsTheView() {
  Session s;
  QVERIFY(s.Start());
  const COLORREF magenta = 0x00FF00FF;
  WritePatternBmp(s.home.File("a.bmp"), 64, 48, 1);
  const std::string logo = WriteSquareBmp(s.home.File("logo.bmp"), 8, 8, magenta, magenta, 0, 0, 8);
  s.frame()->ImportFiles({s.File("a.bmp")});
  s.ClickRow(0);
  CFramewrightView* view = s.frame()->view();
  const QPoint at = CFramewrightView::PicturePosition(view->size(), QSize(64, 48));
  const QColor logoColour(255, 0, 255);
  QImage before = view->grab().toImage();
  QVERIFY(before.pixelColor(at + QPoint(10, 20)) != logoColour);

  // The fresh settings open with the logo on and a placeholder; the colour button follows
  // "Draw transparently".
  bool useLogoAtFirst = false, colourAtFirst = true, colourWhenTransparent = false;
  s.chooser.openAnswers << QStringList{QString::fromStdString(logo)};
  WhenModal<CompanyLogoDlg>([&](CompanyLogoDlg* dialog) {
    useLogoAtFirst = dialog->useLogoBox()->isChecked();
    colourAtFirst = dialog->colourButton()->isEnabled();
    dialog->transparentBox()->setChecked(true);
    colourWhenTransparent = dialog->colourButton()->isEnabled();
    dialog->transparentBox()->setChecked(false);
    dialog->logoButton()->click();
    dialog->xEdit()->setText("10");
    dialog->yEdit()->setText("20");
    Shoot(dialog, "company_logo");
    dialog->accept();
  });
  s.frame()->Action(kIdLogo)->trigger();
  QVERIFY(useLogoAtFirst);
  QVERIFY(!colourAtFirst);
  QVERIFY(colourWhenTransparent);
  QCOMPARE(s.chooser.lastFilter, QString(CompanyLogoDialog::kLogoFilter));

  // The view shows the logo over the picture at (10, 20), 8 x 8 and no more.
  QImage after = view->grab().toImage();
  QCOMPARE(after.pixelColor(at + QPoint(10, 20)), logoColour);
  QCOMPARE(after.pixelColor(at + QPoint(17, 27)), logoColour);
  QCOMPARE(after.pixelColor(at + QPoint(18, 28)), before.pixelColor(at + QPoint(18, 28)));
  QCOMPARE(after.pixelColor(at + QPoint(9, 20)), before.pixelColor(at + QPoint(9, 20)));
  std::string file;
  QVERIFY(s.doc().store().GetString("Logo", "sLogoFile", file));
  QCOMPARE(file, logo);
}
