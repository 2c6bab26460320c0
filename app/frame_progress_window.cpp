#include "frame_progress_window.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QGridLayout>

namespace quendrolix::app {
namespace {
constexpr qint64 kRedrawMs = 40;
}

FrameProgressWindow::FrameProgressWindow(const QString& source, QWidget* parent)
    : QDialog(parent),
      reading_(new QLabel(source, this)),
      writing_(new QLabel(this)),
      count_(new QLabel(this)) {
  setWindowTitle("Progress");
  setModal(false);
  auto* grid = new QGridLayout(this);
  grid->addWidget(new QLabel("Reading:", this), 0, 0);
  grid->addWidget(reading_, 0, 1);
  grid->addWidget(new QLabel("Writing:", this), 1, 0);
  grid->addWidget(writing_, 1, 1);
  grid->addWidget(count_, 2, 1);
  grid->setColumnStretch(1, 1);
  setMinimumWidth(420);
  show();
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  sinceDrawn_.start();
}

FrameProgress FrameProgressWindow::Reporter() {
  return
      [this](int number, const std::string& name) { Report(number, QString::fromStdString(name)); };
}

void FrameProgressWindow::Report(int number, const QString& name) {
  ++reports_;
  writing_->setText(QFileInfo(name).fileName());
  count_->setText(QString::number(number));
  if (sinceDrawn_.elapsed() >= kRedrawMs) {
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    sinceDrawn_.restart();
  }
}

}  // namespace quendrolix::app
