#include "conversion_log_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QThread>
#include <QVBoxLayout>
#include <algorithm>

#include "platform/host/user_prompts.h"

namespace quendrolix::app {
namespace {
constexpr qint64 kDrawIntervalMs = 40;
}

ConversionLogWindow::ConversionLogWindow(QWidget* parent) : QDialog(parent) {
  setObjectName("conversionLog");
  setWindowTitle("Progress");
  setModal(false);
  text_ = new QPlainTextEdit(this);
  text_->setReadOnly(true);
  text_->setLineWrapMode(QPlainTextEdit::NoWrap);
  text_->setMaximumBlockCount(5000);
  QFont fixed = text_->font();
  fixed.setStyleHint(QFont::Monospace);
  fixed.setFamily("monospace");
  text_->setFont(fixed);
  frame_ = new QLabel(this);
  frame_->setObjectName("frame");
  frame_->setMinimumWidth(frame_->fontMetrics().horizontalAdvance("Frame 000000") + 4);
  state_ = new QLabel(this);
  state_->setObjectName("state");
  fileLabel_ = new QLabel(this);
  fileLabel_->setObjectName("file");
  fileLabel_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  progress_ = new QProgressBar(this);
  progress_->setRange(0, 100);
  progress_->setValue(0);
  close_ = new QPushButton("Close", this);
  connect(close_, &QPushButton::clicked, this, &QDialog::hide);

  auto* counters = new QHBoxLayout;
  counters->addWidget(frame_);
  counters->addWidget(progress_, 1);
  auto* bottom = new QHBoxLayout;
  bottom->addWidget(state_);
  bottom->addWidget(fileLabel_, 1);
  bottom->addWidget(close_);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(text_, 1);
  layout->addLayout(counters);
  layout->addLayout(bottom);
  resize(480, 320);
  SetBusy(false);
  sinceDrawn_.start();
}

ConversionLogWindow::~ConversionLogWindow() {
  SetBusy(false);
}

void ConversionLogWindow::KeepDrawn(bool now) {
  if (!now && sinceDrawn_.elapsed() < kDrawIntervalMs) return;
  sinceDrawn_.restart();
  // Paints, timers and window-system events; the user's clicks and keys wait, so that no
  // command starts inside a running conversion.
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

bool ConversionLogWindow::OffGuiThread() const {
  return QThread::currentThread() != thread();
}

void ConversionLogWindow::ReportLine(const std::string& line) {
  // An engine's worker thread must not touch widgets: its report waits for the GUI thread.
  if (OffGuiThread()) {
    QMetaObject::invokeMethod(
        this, [this, line] { ReportLine(line); }, Qt::QueuedConnection);
    return;
  }
  QString text = QString::fromStdString(line);
  text.replace("\r\n", "\n");
  while (text.endsWith('\n')) text.chop(1);
  bool wasHidden = isHidden();
  if (wasHidden) show();
  text_->appendPlainText(text);
  if (text.startsWith("Error")) failed_ = true;
  KeepDrawn(wasHidden);
}

void ConversionLogWindow::ReportFrame(unsigned frame) {
  if (OffGuiThread()) {
    QMetaObject::invokeMethod(
        this, [this, frame] { ReportFrame(frame); }, Qt::QueuedConnection);
    return;
  }
  frame_->setText(QString("Frame %1").arg(frame));
  KeepDrawn();
}

void ConversionLogWindow::ReportPercent(int percent) {
  if (OffGuiThread()) {
    QMetaObject::invokeMethod(
        this, [this, percent] { ReportPercent(percent); }, Qt::QueuedConnection);
    return;
  }
  progress_->setValue(std::clamp(percent, 0, 100));
  KeepDrawn();
}

void ConversionLogWindow::ReportFatal(const std::string& text) {
  failed_ = true;
  Prompts().ShowMessage(text, {}, PromptIcon::kStop);
  Prompts().ShowMessage(kRecoveryFailed, {}, PromptIcon::kStop);
}

void ConversionLogWindow::SetBusy(bool busy) {
  state_->setText(busy ? "Busy..." : "Idle");
  close_->setEnabled(!busy);
  if (busy == busy_) return;
  busy_ = busy;
  if (busy) {
    frame_->clear();
    progress_->setValue(0);
    failed_ = false;
    QApplication::setOverrideCursor(Qt::WaitCursor);
  } else {
    // The engines report their share in whole steps and stop short of the end; a
    // conversion that ran to its end without an error is done.
    if (!failed_ && progress_->value() > 0) progress_->setValue(100);
    QApplication::restoreOverrideCursor();
  }
  KeepDrawn(true);
}

void ConversionLogWindow::SetFile(const QString& path) {
  file_ = path;
  fileLabel_->setText(path.isEmpty() ? QString() : QFileInfo(path).fileName());
  fileLabel_->setToolTip(path);
}

QStringList ConversionLogWindow::Lines() const {
  QString all = text_->toPlainText();
  return all.isEmpty() ? QStringList() : all.split('\n');
}

void ConversionLogWindow::closeEvent(QCloseEvent* event) {
  // The window cannot go while a conversion is still writing to it.
  if (busy_)
    event->ignore();
  else
    QDialog::closeEvent(event);
}

void ConversionLogWindow::reject() {
  if (!busy_) hide();
}

}  // namespace quendrolix::app
