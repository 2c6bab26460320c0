#pragma once

#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QString>
#include <QWidget>

class QMediaPlayer;
class QAudioOutput;
class QMovie;
class QVideoWidget;

namespace quendrolix::app {

// The player window of "View Animation..." and of every finished build: a window of its
// own that shows the file's name, the playing position and the mode, with the picture
// between them. AVI and MPG files play through the desktop's multimedia backend, animated
// GIFs through Qt's own GIF reader. Where a file cannot be played at all (CanPlay is
// false) the caller says so instead of opening the window.
class PlaybackWindow : public QWidget {
  Q_OBJECT

 public:
  explicit PlaybackWindow(QWidget* parent = nullptr);
  ~PlaybackWindow() override;

  // Whether this build and this desktop have a player for `path`.
  static bool CanPlay(const QString& path);

  // Opens `path` and starts playing it. Problems found later (a file the backend cannot
  // decode) are shown in the mode line, never as a message box.
  void Open(const QString& path);

  QString file() const { return file_; }
  QString nameText() const { return name_->text(); }
  QString modeText() const { return mode_->text(); }
  QString positionText() const { return position_->text(); }

 private:
  static bool IsGif(const QString& path);
  void OpenMovie();
  void OpenMedia();
  void ShowPosition(qint64 milliseconds);
  void ShowMode();
  void TogglePlay();

  QString file_;
  QLabel* name_;
  QLabel* picture_;  // the GIF's frames
  QLabel* position_;
  QLabel* mode_;
  QPushButton* play_;
  QSlider* slider_;
  QMovie* movie_ = nullptr;
  QMediaPlayer* player_ = nullptr;
  QAudioOutput* audio_ = nullptr;
  QVideoWidget* video_ = nullptr;
  QString error_;
};

}  // namespace quendrolix::app
