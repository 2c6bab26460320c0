#pragma once

#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QString>
#include <QTimer>
#include <QWidget>
#include <memory>

#include "tools/movie_player.h"

namespace quendrolix::app {

class PlayerPictureView;

// The player window of "View Animation..." and of every finished build: a window of its
// own that shows the file's name, the picture, a Play/Pause button, a position slider,
// the time and the mode. Pictures are decoded by the program's own readers and sound goes
// to the desktop's sound system through MoviePlayer, which also says which picture shows
// when; without a sound device the movie plays silently.
class PlaybackWindow : public QWidget {
  Q_OBJECT

 public:
  explicit PlaybackWindow(QWidget* parent = nullptr);
  ~PlaybackWindow() override;

  // Opens `path` and starts playing it. False, with error(), when the file holds nothing
  // this player can show.
  bool Open(const QString& path);

  // The sound system every player plays to (the desktop's unless a test set another);
  // null makes players silent. The backend must outlive the players.
  static void SetSoundBackend(SoundBackend* backend);

  QString file() const { return file_; }
  QString error() const { return error_; }
  QString nameText() const { return name_->text(); }
  QString modeText() const { return mode_->text(); }
  QString positionText() const { return position_->text(); }
  // What the window shows now, for tests: the picture's index and its pixels.
  int shownFrame() const { return shownFrame_; }
  QImage shownPicture() const { return shown_; }
  MoviePlayer* player() const { return player_.get(); }
  QPushButton* playButton() const { return play_; }
  QSlider* slider() const { return slider_; }

 private:
  void Tick();
  void ShowFrame(int index);
  void ShowMode();

  QString file_;
  QString error_;
  QString soundNote_;  // why the file's sound cannot be played, when it cannot
  QLabel* name_;
  PlayerPictureView* picture_;
  QLabel* position_;
  QLabel* mode_;
  QPushButton* play_;
  QSlider* slider_;
  QTimer timer_;
  std::unique_ptr<MoviePlayer> player_;
  int shownFrame_ = -1;
  QImage shown_;
};

}  // namespace quendrolix::app
