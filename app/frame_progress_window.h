#pragma once

#include <QDialog>
#include <QElapsedTimer>
#include <QLabel>
#include <QString>

#include "tools/extract_frames.h"

namespace quendrolix::app {

// The small "Progress" window of the frame extractors: the file being read, the bitmap being
// written and how many are done. It stays up while it lives; the work runs on the GUI thread,
// so each report lets pending paints through (at most every few tens of milliseconds).
class FrameProgressWindow : public QDialog {
  Q_OBJECT

 public:
  FrameProgressWindow(const QString& source, QWidget* parent = nullptr);

  // The reports of an extraction go here.
  FrameProgress Reporter();
  void Report(int number, const QString& name);

  QString readingText() const { return reading_->text(); }
  QString writingText() const { return writing_->text(); }
  int reports() const { return reports_; }

 private:
  QLabel* reading_;
  QLabel* writing_;
  QLabel* count_;
  QElapsedTimer sinceDrawn_;
  int reports_ = 0;
};

}  // namespace quendrolix::app
