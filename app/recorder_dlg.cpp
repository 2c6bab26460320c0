#include "recorder_dlg.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QPainter>
#include <QStyle>
#include <QVBoxLayout>

namespace quendrolix::app {
namespace {

using namespace recorder_dialog;

QIcon RecordIcon() {
  QPixmap pixmap(24, 24);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setBrush(QColor(0xD0, 0x10, 0x10));
  painter.setPen(QColor(0x70, 0x00, 0x00));
  painter.drawEllipse(QRectF(3.5, 3.5, 17, 17));
  return QIcon(pixmap);
}

}  // namespace

RecorderDlg::RecorderDlg(SoundBackend& backend, FileChooser& chooser, Mp3CommandHost* host,
                         const QString& saveFolder, QWidget* parent)
    : QDialog(parent),
      chooser_(chooser),
      saveFolder_(saveFolder),
      recorder_(backend),
      rules_(recorder_, *this, {}, host) {
  setObjectName("recorder");
  setWindowTitle(kTitle);
  struct ButtonInfo {
    int id;
    const char* text;
    QIcon icon;
  };
  const ButtonInfo buttons[] = {
      {kRecordButton, "Record", RecordIcon()},
      {kPlayButton, "Play", style()->standardIcon(QStyle::SP_MediaPlay)},
      {kSaveButton, "Save", style()->standardIcon(QStyle::SP_DialogSaveButton)},
      {kStopButton, "Stop", style()->standardIcon(QStyle::SP_MediaStop)},
  };
  auto* row = new QHBoxLayout;
  for (const ButtonInfo& info : buttons) {
    auto* button = new QPushButton(info.icon, info.text, this);
    button->setObjectName(QString("button%1").arg(info.id));
    button->setIconSize(QSize(24, 24));
    button->setAutoDefault(false);
    buttons_.insert(info.id, button);
    row->addWidget(button);
  }
  elapsed_ = new QLabel(this);
  elapsed_->setObjectName("elapsed");
  elapsed_->setAlignment(Qt::AlignCenter);
  elapsed_->setFrameShape(QFrame::Panel);
  elapsed_->setFrameShadow(QFrame::Sunken);
  elapsed_->setMinimumWidth(elapsed_->fontMetrics().horizontalAdvance("00 hrs 00 min 00 sec") + 16);
  close_ = new QPushButton("Close", this);
  close_->setAutoDefault(false);

  auto* bottom = new QHBoxLayout;
  bottom->addWidget(elapsed_, 1);
  bottom->addWidget(close_);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(row);
  layout->addLayout(bottom);
  layout->setSizeConstraint(QLayout::SetFixedSize);

  connect(buttons_[kRecordButton], &QPushButton::clicked, this, [this] { rules_.OnRecord(); });
  connect(buttons_[kStopButton], &QPushButton::clicked, this, [this] { rules_.OnStop(); });
  connect(buttons_[kPlayButton], &QPushButton::clicked, this, [this] { rules_.OnPlay(); });
  connect(buttons_[kSaveButton], &QPushButton::clicked, this, &RecorderDlg::OnSave);
  connect(close_, &QPushButton::clicked, this, &QDialog::reject);
  rules_.onChanged = [this] { Show(); };
  Show();
}

RecorderDlg::~RecorderDlg() {
  if (!closed_) rules_.OnClose();
}

void RecorderDlg::Show() {
  elapsed_->setText(QString::fromStdString(rules_.elapsedText()));
  buttons_[kPlayButton]->setEnabled(rules_.playEnabled());
  buttons_[kSaveButton]->setEnabled(rules_.saveEnabled());
}

bool RecorderDlg::TimerRunning(int id) const {
  QTimer* timer = timers_.value(id);
  return timer && timer->isActive();
}

void RecorderDlg::SetTimer(int id, unsigned milliseconds) {
  QTimer*& timer = timers_[id];
  if (!timer) {
    // Window timers repeat until killed; the rules kill the one-shot start timer.
    timer = new QTimer(this);
    connect(timer, &QTimer::timeout, this, [this, id] { rules_.OnTimer(id); });
  }
  timer->start(static_cast<int>(milliseconds));
}

void RecorderDlg::KillTimer(int id) {
  if (QTimer* timer = timers_.value(id)) timer->stop();
}

void RecorderDlg::OnSave() {
  QString path =
      chooser_.ChooseSaveFile(this, "Save As", saveFolder_, kSaveFilter, kSaveDefaultExtension);
  if (path.isEmpty()) return;
  saving_ = true;
  rules_.OnSave(path.toStdString());
  saving_ = false;
}

void RecorderDlg::done(int result) {
  // An MP3 save lets window events through while it encodes; the window stays till then.
  if (saving_) return;
  if (!closed_) {
    closed_ = true;
    rules_.OnClose();
  }
  QDialog::done(result);
}

}  // namespace quendrolix::app
