#pragma once

#include <QDialog>
#include <QHash>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include "file_chooser.h"
#include "mpeg/audio/mp3/wave_recorder.h"
#include "mpeg/audio/mp3/wave_recorder_dialog.h"

namespace quendrolix::app {

// "MP3/WAV Sound Recorder": Record, Play, Save, Stop and Close over the core's
// WaveRecorderDialog, whose window timers are QTimers here. Leaving the dialog, however
// it is left, closes the device.
class RecorderDlg : public QDialog, private RecorderTimers {
  Q_OBJECT

 public:
  // `host` receives the MP3 save's log marks; `saveFolder` is where the save dialog starts.
  RecorderDlg(SoundBackend& backend, FileChooser& chooser, Mp3CommandHost* host,
              const QString& saveFolder, QWidget* parent = nullptr);
  ~RecorderDlg() override;

  // Record (1054), Play (1055), Save (1056), Stop (1057).
  QPushButton* button(int id) const { return buttons_.value(id); }
  QPushButton* closeButton() const { return close_; }
  QLabel* elapsedLabel() const { return elapsed_; }
  WaveRecorder& recorder() { return recorder_; }
  bool TimerRunning(int id) const;

  void done(int result) override;

 private:
  void SetTimer(int id, unsigned milliseconds) override;
  void KillTimer(int id) override;
  void Show();
  void OnSave();

  FileChooser& chooser_;
  QString saveFolder_;
  WaveRecorder recorder_;
  WaveRecorderDialog rules_;
  QHash<int, QPushButton*> buttons_;
  QPushButton* close_;
  QLabel* elapsed_;
  QHash<int, QTimer*> timers_;
  bool closed_ = false;
  bool saving_ = false;
};

}  // namespace quendrolix::app
