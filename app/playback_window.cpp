#include "playback_window.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QUrl>
#include <QVBoxLayout>

#ifdef QUENDROLIX_HAVE_MULTIMEDIA
#include <QAudioOutput>
#include <QMediaPlayer>
#include <QVideoWidget>
#endif

namespace quendrolix::app {
namespace {

QString TimeText(qint64 milliseconds) {
  qint64 seconds = milliseconds / 1000;
  return QString::asprintf("%lld:%02lld.%01lld", seconds / 60, seconds % 60,
                           (milliseconds % 1000) / 100);
}

}  // namespace

bool PlaybackWindow::Available() {
#ifdef QUENDROLIX_HAVE_MULTIMEDIA
  // Qt picks its media backend once, at the first player. The FFmpeg one needs nothing
  // beyond Qt Multimedia itself, while the GStreamer one needs a set of GStreamer plugin
  // packages and fails hard where they are missing; so FFmpeg unless the user chose.
  if (qEnvironmentVariableIsEmpty("QT_MEDIA_BACKEND")) qputenv("QT_MEDIA_BACKEND", "ffmpeg");
  // A player made without a backend says so; it is cheap and asks nothing of a file.
  QMediaPlayer probe;
  return probe.isAvailable();
#else
  return false;
#endif
}

PlaybackWindow::PlaybackWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
  setObjectName("playbackWindow");
  setAttribute(Qt::WA_DeleteOnClose);
  name_ = new QLabel(this);
  name_->setObjectName("playbackName");
  position_ = new QLabel(TimeText(0), this);
  mode_ = new QLabel(this);
  mode_->setObjectName("playbackMode");
  play_ = new QPushButton("Play", this);
  slider_ = new QSlider(Qt::Horizontal, this);
  slider_->setEnabled(false);

  auto* controls = new QHBoxLayout;
  controls->addWidget(play_);
  controls->addWidget(slider_, 1);
  controls->addWidget(position_);
  controls->addWidget(mode_);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(name_);
#ifdef QUENDROLIX_HAVE_MULTIMEDIA
  video_ = new QVideoWidget(this);
  video_->setMinimumSize(160, 120);
  layout->addWidget(video_, 1);
  player_ = new QMediaPlayer(this);
  audio_ = new QAudioOutput(this);
  player_->setAudioOutput(audio_);
  player_->setVideoOutput(video_);
  connect(player_, &QMediaPlayer::positionChanged, this, &PlaybackWindow::ShowPosition);
  connect(player_, &QMediaPlayer::durationChanged, this, [this](qint64 duration) {
    slider_->setRange(0, static_cast<int>(duration));
    slider_->setEnabled(duration > 0);
  });
  connect(slider_, &QSlider::sliderMoved, this,
          [this](int position) { player_->setPosition(position); });
  connect(player_, &QMediaPlayer::playbackStateChanged, this, &PlaybackWindow::ShowMode);
  connect(player_, &QMediaPlayer::mediaStatusChanged, this, &PlaybackWindow::ShowMode);
  connect(player_, &QMediaPlayer::errorOccurred, this,
          [this](QMediaPlayer::Error, const QString& text) {
            error_ = text.isEmpty() ? QString("cannot play this file") : text;
            ShowMode();
          });
#endif
  layout->addLayout(controls);
  connect(play_, &QPushButton::clicked, this, &PlaybackWindow::TogglePlay);
  resize(360, 320);
  ShowMode();
}

PlaybackWindow::~PlaybackWindow() {
#ifdef QUENDROLIX_HAVE_MULTIMEDIA
  if (player_) player_->stop();
#endif
}

void PlaybackWindow::Open(const QString& path) {
  file_ = path;
  error_.clear();
  name_->setText(QFileInfo(path).fileName());
  name_->setToolTip(path);
  setWindowTitle(QFileInfo(path).fileName());
#ifdef QUENDROLIX_HAVE_MULTIMEDIA
  player_->setSource(QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()));
  player_->play();
#else
  error_ = "playback is not available";
#endif
  ShowMode();
}

void PlaybackWindow::ShowPosition(qint64 milliseconds) {
  position_->setText(TimeText(milliseconds));
  if (!slider_->isSliderDown()) slider_->setValue(static_cast<int>(milliseconds));
}

void PlaybackWindow::ShowMode() {
  QString mode = "Stopped";
#ifdef QUENDROLIX_HAVE_MULTIMEDIA
  if (player_->playbackState() == QMediaPlayer::PlayingState)
    mode = "Playing";
  else if (player_->playbackState() == QMediaPlayer::PausedState)
    mode = "Paused";
  else if (player_->mediaStatus() == QMediaPlayer::LoadingMedia)
    mode = "Opening";
  play_->setText(player_->playbackState() == QMediaPlayer::PlayingState ? "Pause" : "Play");
#endif
  if (!error_.isEmpty()) mode = "Error: " + error_;
  mode_->setText(mode);
}

void PlaybackWindow::TogglePlay() {
#ifdef QUENDROLIX_HAVE_MULTIMEDIA
  if (file_.isEmpty()) return;
  if (player_->playbackState() == QMediaPlayer::PlayingState)
    player_->pause();
  else
    player_->play();
#endif
}

}  // namespace quendrolix::app
