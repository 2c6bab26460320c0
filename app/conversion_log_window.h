#pragma once

#include <QDialog>
#include <QElapsedTimer>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>

#include "platform/host/conversion_log.h"

namespace quendrolix::app {

// The "Progress" window: the lines a conversion writes, the frame being coded and a
// percentage bar. Hidden until a conversion writes a line. Conversions run on the GUI
// thread, so each report lets pending paints through (at most every few tens of
// milliseconds) to keep the window drawn; user input waits until the conversion is over.
class ConversionLogWindow : public QDialog, public ConversionLog {
  Q_OBJECT

 public:
  explicit ConversionLogWindow(QWidget* parent = nullptr);
  ~ConversionLogWindow() override;

  void ReportLine(const std::string& text) override;
  void ReportFrame(unsigned frame) override;
  void ReportPercent(int percent) override;
  // Both message boxes through Prompts(): the text, then the recovery message.
  void ReportFatal(const std::string& text) override;

  // Busy while a conversion command runs: a wait cursor, the mark, Close held back.
  void SetBusy(bool busy);
  bool busy() const { return busy_; }
  // The file the last conversion wrote (shown under the lines).
  void SetFile(const QString& path);
  QString file() const { return file_; }

  QStringList Lines() const;
  QPlainTextEdit* text() const { return text_; }
  QLabel* frameLabel() const { return frame_; }
  QLabel* stateLabel() const { return state_; }
  QLabel* fileLabel() const { return fileLabel_; }
  QProgressBar* progressBar() const { return progress_; }

  static constexpr const char* kRecoveryFailed =
      "Error recovery failed: please restart the program";

 protected:
  void closeEvent(QCloseEvent* event) override;
  void reject() override;

 private:
  void KeepDrawn(bool now = false);
  bool OffGuiThread() const;

  QPlainTextEdit* text_;
  QLabel* frame_;
  QLabel* state_;
  QLabel* fileLabel_;
  QProgressBar* progress_;
  QPushButton* close_;
  QString file_;
  bool busy_ = false;
  QElapsedTimer sinceDrawn_;
  bool failed_ = false;  // an error was reported since the conversion began
};

}  // namespace quendrolix::app
