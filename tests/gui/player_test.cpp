#include "player_test.h"

#include <QAction>
#include <QPushButton>
#include <QSlider>
#include <QtTest>
#include <filesystem>

#include "avi/avi_builder.h"
#include "avi/codec_options.h"
#include "avi/frame_composition.h"
#include "command_table.h"
#include "gui_session.h"
#include "platform/host/program_folder.h"
#include "platform/vfw/codec.h"
#include "playback_window.h"
#include "support/avi_fixtures.h"
#include "support/image_fixtures.h"
#include "support/sound_fixtures.h"
#include "support/vfw_fixtures.h"

using namespace quendrolix;
using namespace quendrolix::app;
using quendrolix::gui_testing::Session;
namespace fs = std::filesystem;
namespace qt = quendrolix::testing;

namespace {

const char* const kPhotos[] = {"/usr/share/backgrounds/mate/nature/LadyBird.jpg",
                               "/usr/share/backgrounds/mate/abstract/Elephants.jpg",
                               "/usr/share/backgrounds/mate/abstract/Flow.png"};

// The photographs at 64 x 40 as BMP files in `folder`; empty when they are missing.
QStringList SmallPhotos(const qt::TempDir& folder) {
  QStringList out;
  int n = 0;
  for (const char* photo : kPhotos) {
    if (!fs::exists(photo)) return {};
    const std::string bmp = folder.File("photo" + std::to_string(n++) + ".bmp");
    if (!qt::RunImageMagick(qt::ShellQuote(photo) + " -resize 64x40! -type TrueColor " +
                            qt::ShellQuote("BMP3:" + bmp)))
      return {};
    out << QString::fromStdString(bmp);
  }
  return out;
}

// The shown picture as top-down RGB triples, or 5-5-5 words as ffmpeg's rgb555le.
std::vector<uint8_t> ShownBytes(const QImage& image, bool as555) {
  std::vector<uint8_t> out;
  const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
  for (int y = 0; y < rgb.height(); ++y)
    for (int x = 0; x < rgb.width(); ++x) {
      const QRgb p = rgb.pixel(x, y);
      if (as555) {
        const int w = (qRed(p) >> 3) << 10 | (qGreen(p) >> 3) << 5 | (qBlue(p) >> 3);
        out.push_back(static_cast<uint8_t>(w & 0xFF));
        out.push_back(static_cast<uint8_t>(w >> 8));
      } else {
        out.insert(out.end(), {static_cast<uint8_t>(qRed(p)), static_cast<uint8_t>(qGreen(p)),
                               static_cast<uint8_t>(qBlue(p))});
      }
    }
  return out;
}

}  // namespace

void PlayerTest::init() {
  ResetCodecOptions();
}

void PlayerTest::cleanup() {
  ResetCodecOptions();
  ProgramFolder::SetOverride({});
}

void PlayerTest::createWithSoundPlaysInThePlayer() {
  Session s;
  QVERIFY(s.Start());
  const QStringList photos = SmallPhotos(s.home);
  if (photos.isEmpty()) QSKIP("the photographs of mate-backgrounds or ImageMagick are missing");
  const std::string wav = s.home.File("tune.wav");
  const auto made = qt::RunCommand(
      "ffmpeg -v error -y -f lavfi -i sine=frequency=330:duration=1.5 -ac 2 -ar 22050 "
      "-c:a pcm_s16le " +
      qt::ShellQuote(wav));
  if (made.status != 0) QSKIP("ffmpeg is missing");
  s.frame()->ImportFiles(photos);
  for (int row = 1; row <= 3; ++row) s.doc().list().SetCell(row, 1, "5");
  s.chooser.openAnswers << QStringList{QString::fromStdString(wav)};
  s.frame()->Action(kIdAttachSound)->trigger();

  const QString avi = s.File("with sound.avi");
  s.chooser.saveAnswers << avi;
  s.frame()->Action(kIdCreate)->trigger();
  QVERIFY(fs::exists(avi.toStdString()));
  PlaybackWindow* player = s.frame()->playbackWindow();
  QVERIFY(player);
  QVERIFY(player->isVisible());
  QCOMPARE(player->error(), QString());
  QVERIFY(player->player()->hasSound());
  QCOMPARE(player->shownPicture().size(), QSize(64, 40));
  QCOMPARE(player->slider()->maximum(), 1500);

  // It plays: the pictures move on with the clock, whether a sound server is there or not.
  QTRY_VERIFY_WITH_TIMEOUT(player->shownFrame() >= 6, 5000);
  QVERIFY(player->modeText().startsWith("Playing") || player->modeText().startsWith("Ended"));
  // Pause holds the picture; Play goes on from there.
  player->playButton()->click();
  if (player->modeText().startsWith("Paused")) {
    const int held = player->shownFrame();
    const QString at = player->positionText();
    QTest::qWait(300);
    QCOMPARE(player->shownFrame(), held);
    QCOMPARE(player->positionText(), at);
    QCOMPARE(player->playButton()->text(), QString("Play"));
    player->playButton()->click();
  }
  QTRY_VERIFY_WITH_TIMEOUT(player->modeText().startsWith("Ended"), 10000);
  QCOMPARE(player->shownFrame(), 14);
  QCOMPARE(player->positionText(), QString("0:01.5"));

  // The slider takes the player back; the program lives on and builds again.
  player->slider()->setValue(100);
  QCOMPARE(player->shownFrame(), 1);
  s.chooser.openAnswers << QStringList{avi};
  s.frame()->Action(kIdViewAnimation)->trigger();
  QVERIFY(s.frame()->playbackWindow());
  QVERIFY(s.frame()->isVisible());
  QVERIFY(s.Enabled(kIdCreate));
  QTest::qWait(200);
  s.frame()->playbackWindow()->close();
}

void PlayerTest::playerShowsEachAviCodecsPictures() {
  qt::TempDir dir;
  const QStringList photos = SmallPhotos(dir);
  if (photos.isEmpty()) QSKIP("the photographs of mate-backgrounds or ImageMagick are missing");
  if (qt::FindTool("ffmpeg").empty()) QSKIP("ffmpeg is missing");
  RecordingPrompts prompts;
  ScopedPrompts scoped(prompts);
  struct Case {
    FOURCC handler;
    int depth;
    // Motion JPEG: two decoders upsample the chroma differently (34 dB apart on these
    // small photographs; a garbled picture is near 10).
    bool lossy;
  };
  for (const Case& c : {Case{kHandlerVideo1, 16, false}, Case{kHandlerVideo1, 8, false},
                        Case{kHandlerFullFrames, 8, false}, Case{kHandlerFullFrames, 16, false},
                        Case{kHandlerFullFrames, 24, false}, Case{kHandlerMjpeg, 24, true}}) {
    const std::string name = FourCCText(c.handler) + std::to_string(c.depth);
    AVICOMPRESSOPTIONS options = qt::OptionsFor(c.handler, 8000, 3);
    FrameComposer plain;
    AviBuilder builder(plain, &options);
    builder.SetRate(10);
    builder.SetDepth(c.depth);
    for (const QString& photo : photos) builder.Add(photo.toStdString(), 2);
    const std::string avi = dir.File(name + ".avi");
    QVERIFY2(builder.Write(avi), name.c_str());

    const bool as555 = c.depth == 16;
    const std::vector<uint8_t> theirs = qt::FfmpegFrames(avi, as555 ? "rgb555le" : "rgb24");
    const size_t frameBytes = size_t{64} * 40 * (as555 ? 2 : 3);
    QCOMPARE(theirs.size(), 6 * frameBytes);

    PlaybackWindow window;
    QVERIFY2(window.Open(QString::fromStdString(avi)), qPrintable(window.error()));
    window.show();
    window.playButton()->click();  // pause: the slider alone picks the pictures
    QVERIFY(window.modeText().startsWith("Paused"));
    // Every picture, backwards as well as forwards.
    for (int frame : {0, 1, 2, 3, 4, 5, 2, 0, 5}) {
      window.slider()->setValue(frame * 100 + 50);
      QCOMPARE(window.shownFrame(), frame);
      const std::vector<uint8_t> shown = ShownBytes(window.shownPicture(), as555);
      std::vector<uint8_t> expected(theirs.begin() + frame * frameBytes,
                                    theirs.begin() + (frame + 1) * frameBytes);
      // ffmpeg's MS Video 1 decoder leaves the codec's flag bit in the unused top bit.
      if (as555)
        for (size_t i = 1; i < expected.size(); i += 2) expected[i] &= 0x7F;
      const std::string where = name + " frame " + std::to_string(frame);
      if (c.lossy) {
        QVERIFY2(qt::Psnr(shown, expected) > 30,
                 (where + ": PSNR " + std::to_string(qt::Psnr(shown, expected))).c_str());
      } else {
        const int difference = qt::MaxChannelDifference(shown, expected);
        QVERIFY2(difference == 0,
                 (where + ": a channel off by " + std::to_string(difference)).c_str());
      }
    }
    // The full frames at 24 bits are the photographs themselves.
    if (c.handler == kHandlerFullFrames && c.depth == 24) {
      std::vector<uint8_t> photo;
      int width = 0, height = 0;
      QVERIFY(qt::ImageMagickRgb(photos[2].toStdString(), photo, width, height));
      window.slider()->setValue(550);
      QCOMPARE(ShownBytes(window.shownPicture(), false), photo);
    }
  }
}

void PlayerTest::playerRefusesWhatIsNotAMovie() {
  Session s;
  QVERIFY(s.Start());
  const QString fake = s.File("fake.avi");
  qt::WriteText(fake.toStdString(), "RIFF....AVI nothing of use here");
  s.chooser.openAnswers << QStringList{fake};
  s.frame()->Action(kIdViewAnimation)->trigger();
  QVERIFY(!s.frame()->playbackWindow());
  QVERIFY(!s.prompts.messages.empty());
  QVERIFY(s.prompts.messages.back().find("cannot be played") != std::string::npos);
  QVERIFY(s.frame()->isVisible());
}
