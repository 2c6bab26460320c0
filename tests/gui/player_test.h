#pragma once

#include <QObject>

// The player window over the program's own decoders: a build with sound plays to the end
// (silently where there is no sound server), and what it shows of AVIs of every codec is
// what ffmpeg decodes.
class PlayerTest : public QObject {
  Q_OBJECT

 private slots:
  void init();
  void cleanup();
  void createWithSoundPlaysInThePlayer();
  void playerShowsEachAviCodecsPictures();
  void playerRefusesWhatIsNotAMovie();
};
