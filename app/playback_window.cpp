#include "playback_window.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QPainter>
#include <QShortcut>
#include <QVBoxLayout>
#include <algorithm>

#include "help_topics.h"

namespace quendrolix::app {

// The picture, centred, shrunk to the window when it is larger, never enlarged.
class PlayerPictureView : public QWidget {
 public:
  explicit PlayerPictureView(QWidget* parent) : QWidget(parent) {
    setMinimumSize(160, 120);
    setObjectName("playbackPicture");
  }
  void SetImage(const QImage& image) {
    image_ = image;
    update();
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    if (image_.isNull()) return;
    QSize size = image_.size();
    if (size.width() > width() || size.height() > height())
      size.scale(this->size(), Qt::KeepAspectRatio);
    QRect target(QPoint(0, 0), size);
    target.moveCenter(rect().center());
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(target, image_);
  }

 private:
  QImage image_;
};

namespace {

QString TimeText(double seconds) {
  const qint64 tenths = static_cast<qint64>(seconds * 10 + 0.5);
  return QString::asprintf("%lld:%02lld.%01lld", tenths / 600, tenths / 10 % 60, tenths % 10);
}

SoundBackend* SystemSound() {
  static const std::unique_ptr<SoundBackend> backend = MakeSystemSoundBackend();
  return backend.get();
}

bool soundChosen = false;
SoundBackend* chosenSound = nullptr;

}  // namespace

void PlaybackWindow::SetSoundBackend(SoundBackend* backend) {
  soundChosen = true;
  chosenSound = backend;
}

PlaybackWindow::PlaybackWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
  setObjectName("playbackWindow");
  setAttribute(Qt::WA_DeleteOnClose);
  name_ = new QLabel(this);
  name_->setObjectName("playbackName");
  picture_ = new PlayerPictureView(this);
  position_ = new QLabel(TimeText(0), this);
  position_->setObjectName("playbackPosition");
  mode_ = new QLabel(this);
  mode_->setObjectName("playbackMode");
  play_ = new QPushButton("Play", this);
  play_->setObjectName("playbackPlay");
  play_->setEnabled(false);
  slider_ = new QSlider(Qt::Horizontal, this);
  slider_->setObjectName("playbackSlider");
  slider_->setEnabled(false);

  auto* controls = new QHBoxLayout;
  controls->addWidget(play_);
  controls->addWidget(slider_, 1);
  controls->addWidget(position_);
  controls->addWidget(mode_);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(name_);
  layout->addWidget(picture_, 1);
  layout->addLayout(controls);
  connect(play_, &QPushButton::clicked, this, [this] {
    if (!player_) return;
    player_->TogglePlay();
    Tick();
  });
  // Dragging shows the pictures it passes; the sound goes on from where it is let go.
  connect(slider_, &QSlider::sliderMoved, this, [this](int milliseconds) {
    if (player_) ShowFrame(player_->source().timeline().FrameAt(milliseconds / 1000.0));
  });
  connect(slider_, &QSlider::valueChanged, this, [this](int milliseconds) {
    // The timer's own updates are blocked; a drag seeks when it is let go.
    if (!player_ || slider_->isSliderDown()) return;
    player_->Seek(milliseconds / 1000.0);
    Tick();
  });
  connect(slider_, &QSlider::sliderReleased, this, [this] {
    if (!player_) return;
    player_->Seek(slider_->value() / 1000.0);
    Tick();
  });
  // F1 opens the player's page of the manual, as Help does in the dialogs.
  auto* help = new QShortcut(QKeySequence::HelpContents, this);
  connect(help, &QShortcut::activated, this, [] { ShowHelpTopic(kHelpPlayer); });
  timer_.setInterval(10);
  connect(&timer_, &QTimer::timeout, this, &PlaybackWindow::Tick);
  resize(360, 320);
  ShowMode();
}

PlaybackWindow::~PlaybackWindow() {
  timer_.stop();
}

bool PlaybackWindow::Open(const QString& path) {
  timer_.stop();
  player_.reset();
  file_ = path;
  error_.clear();
  soundNote_.clear();
  shownFrame_ = -1;
  shown_ = QImage();
  name_->setText(QFileInfo(path).fileName());
  name_->setToolTip(path);
  setWindowTitle(QFileInfo(path).fileName());
  std::string why;
  auto source = MovieSource::Open(path.toStdString(), &why);
  if (!source) {
    error_ = QString::fromStdString(why.empty() ? "cannot read this file" : why);
    play_->setEnabled(false);
    slider_->setEnabled(false);
    ShowMode();
    return false;
  }
  std::string note;
  SoundTrack sound = LoadSoundTrack(path.toStdString(), &note);
  soundNote_ = QString::fromStdString(note);
  player_ = std::make_unique<MoviePlayer>(std::move(source), std::move(sound),
                                          soundChosen ? chosenSound : SystemSound());
  const QSize natural(player_->source().width(), player_->source().height());
  resize(std::clamp(natural.width() + 24, 360, 1200), std::clamp(natural.height() + 90, 200, 900));
  {
    const QSignalBlocker block(slider_);
    slider_->setRange(0, static_cast<int>(player_->duration() * 1000 + 0.5));
    slider_->setValue(0);
  }
  slider_->setEnabled(player_->duration() > 0);
  play_->setEnabled(true);
  ShowFrame(0);
  player_->Play();
  timer_.start();
  Tick();
  return true;
}

void PlaybackWindow::Tick() {
  if (!player_) return;
  const double position = player_->Position();
  if (!slider_->isSliderDown()) {
    ShowFrame(player_->source().timeline().FrameAt(position));
    const QSignalBlocker block(slider_);
    slider_->setValue(static_cast<int>(position * 1000 + 0.5));
  }
  position_->setText(TimeText(position));
  ShowMode();
  if (player_->state() != MoviePlayer::State::kPlaying)
    timer_.stop();
  else if (!timer_.isActive())
    timer_.start();
}

void PlaybackWindow::ShowFrame(int index) {
  if (index < 0 || index == shownFrame_) return;
  PlayerPicture picture;
  if (!player_->source().Picture(index, picture)) return;  // the last picture stays
  shown_ = QImage(reinterpret_cast<const uchar*>(picture.pixels.data()), picture.width,
                  picture.height, picture.width * 4, QImage::Format_RGB32)
               .copy();
  shownFrame_ = index;
  picture_->SetImage(shown_);
}

void PlaybackWindow::ShowMode() {
  QString mode = "Stopped";
  bool playing = false;
  if (player_) {
    switch (player_->state()) {
      case MoviePlayer::State::kPlaying:
        playing = true;
        mode = "Playing";
        break;
      case MoviePlayer::State::kPaused:
        mode = "Paused";
        break;
      case MoviePlayer::State::kEnded:
        mode = "Ended";
        break;
      case MoviePlayer::State::kStopped:
        break;
    }
    // Sound that is there but cannot be heard: the word says so, the tip says why.
    QString why = QString::fromStdString(player_->soundNote());
    if (why.isEmpty()) why = soundNote_;
    if (!why.isEmpty()) mode += " (silent)";
    mode_->setToolTip(why);
  }
  play_->setText(playing ? "Pause" : "Play");
  if (!error_.isEmpty()) mode = "Error: " + error_;
  mode_->setText(mode);
}

}  // namespace quendrolix::app
