#include "playback_window.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QMovie>
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

#ifdef QUENDROLIX_HAVE_MULTIMEDIA
bool MediaBackendAvailable() {
  // Qt picks its media backend once, at the first player. The FFmpeg one needs nothing
  // beyond Qt Multimedia itself, while the GStreamer one needs a set of GStreamer plugin
  // packages and fails hard where they are missing; so FFmpeg unless the user chose.
  if (qEnvironmentVariableIsEmpty("QT_MEDIA_BACKEND")) qputenv("QT_MEDIA_BACKEND", "ffmpeg");
  // A player made without a backend says so; it is cheap and asks nothing of a file.
  QMediaPlayer probe;
  return probe.isAvailable();
}
#endif

}  // namespace

bool PlaybackWindow::IsGif(const QString& path) {
  return QFileInfo(path).suffix().compare("gif", Qt::CaseInsensitive) == 0;
}

bool PlaybackWindow::CanPlay(const QString& path) {
  if (IsGif(path)) return QMovie::supportedFormats().contains("gif");
#ifdef QUENDROLIX_HAVE_MULTIMEDIA
  static const bool available = MediaBackendAvailable();
  return available;
#else
  return false;
#endif
}

PlaybackWindow::PlaybackWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
  setObjectName("playbackWindow");
  setAttribute(Qt::WA_DeleteOnClose);
  name_ = new QLabel(this);
  name_->setObjectName("playbackName");
  picture_ = new QLabel(this);
  picture_->setAlignment(Qt::AlignCenter);
  picture_->setMinimumSize(160, 120);
  picture_->hide();
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
  layout->addWidget(picture_, 1);
#ifdef QUENDROLIX_HAVE_MULTIMEDIA
  video_ = new QVideoWidget(this);
  video_->setMinimumSize(160, 120);
  video_->hide();
  layout->addWidget(video_, 1);
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
  if (movie_) movie_->stop();
}

void PlaybackWindow::Open(const QString& path) {
  file_ = path;
  error_.clear();
  name_->setText(QFileInfo(path).fileName());
  name_->setToolTip(path);
  setWindowTitle(QFileInfo(path).fileName());
  if (IsGif(path))
    OpenMovie();
  else
    OpenMedia();
  ShowMode();
}

void PlaybackWindow::OpenMovie() {
  movie_ = new QMovie(file_, "gif", this);
  if (!movie_->isValid()) {
    error_ = "cannot read this file";
    return;
  }
  picture_->setMovie(movie_);
  picture_->show();
  slider_->setRange(0, std::max(0, movie_->frameCount() - 1));
  connect(movie_, &QMovie::frameChanged, this, [this](int frame) {
    position_->setText(QString("Frame %1").arg(frame + 1));
    slider_->setValue(frame);
  });
  connect(movie_, &QMovie::stateChanged, this, &PlaybackWindow::ShowMode);
  movie_->start();
}

void PlaybackWindow::OpenMedia() {
#ifdef QUENDROLIX_HAVE_MULTIMEDIA
  video_->show();
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
  player_->setSource(QUrl::fromLocalFile(QFileInfo(file_).absoluteFilePath()));
  player_->play();
#else
  error_ = "playback is not available";
#endif
}

void PlaybackWindow::ShowPosition(qint64 milliseconds) {
  position_->setText(TimeText(milliseconds));
  if (!slider_->isSliderDown()) slider_->setValue(static_cast<int>(milliseconds));
}

void PlaybackWindow::ShowMode() {
  QString mode = "Stopped";
  bool playing = false;
  if (movie_) {
    playing = movie_->state() == QMovie::Running;
    if (playing) mode = "Playing";
    if (movie_->state() == QMovie::Paused) mode = "Paused";
  }
#ifdef QUENDROLIX_HAVE_MULTIMEDIA
  if (player_) {
    playing = player_->playbackState() == QMediaPlayer::PlayingState;
    if (playing)
      mode = "Playing";
    else if (player_->playbackState() == QMediaPlayer::PausedState)
      mode = "Paused";
    else if (player_->mediaStatus() == QMediaPlayer::LoadingMedia)
      mode = "Opening";
  }
#endif
  play_->setText(playing ? "Pause" : "Play");
  if (!error_.isEmpty()) mode = "Error: " + error_;
  mode_->setText(mode);
}

void PlaybackWindow::TogglePlay() {
  if (movie_ && movie_->isValid()) {
    if (movie_->state() == QMovie::Running)
      movie_->setPaused(true);
    else if (movie_->state() == QMovie::Paused)
      movie_->setPaused(false);
    else
      movie_->start();
  }
#ifdef QUENDROLIX_HAVE_MULTIMEDIA
  if (player_) {
    if (player_->playbackState() == QMediaPlayer::PlayingState)
      player_->pause();
    else
      player_->play();
  }
#endif
}

}  // namespace quendrolix::app
