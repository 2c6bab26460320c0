#pragma once

#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QString>
#include <QWidget>

class QMediaPlayer;
class QAudioOutput;
class QVideoWidget;

namespace quendrolix::app {

// The player window of "View Animation..." and of every finished build: a window of its
// own that shows the file's name, the playing position and the mode, with the picture
// between them. Where the desktop has no multimedia backend it cannot be made at all
// (Available() is false) and the caller says so instead.
class PlaybackWindow : public QWidget {
  Q_OBJECT

 public:
  explicit PlaybackWindow(QWidget* parent = nullptr);
  ~PlaybackWindow() override;

  // Whether this build and this desktop can play anything.
  static bool Available();

  // Opens `path` and starts playing it. Problems found later (a file the backend cannot
  // decode) are shown in the mode line, never as a message box.
  void Open(const QString& path);

  QString file() const { return file_; }
  QString nameText() const { return name_->text(); }
  QString modeText() const { return mode_->text(); }
  QString positionText() const { return position_->text(); }

 private:
  void ShowPosition(qint64 milliseconds);
  void ShowMode();
  void TogglePlay();

  QString file_;
  QLabel* name_;
  QLabel* position_;
  QLabel* mode_;
  QPushButton* play_;
  QSlider* slider_;
  QMediaPlayer* player_ = nullptr;
  QAudioOutput* audio_ = nullptr;
  QVideoWidget* video_ = nullptr;
  QString error_;
};

}  // namespace quendrolix::app
