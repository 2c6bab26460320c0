#pragma once

#include <QDialog>
#include <QPushButton>
#include <QRadioButton>

#include "project/project_dialogs.h"
#include "spin_edit.h"

namespace quendrolix::app {

// "Frame Replication": a frame count for every image, set or added. The rules are the
// core's FrameReplicationDialog; OK applies them to the project, and "Save as default"
// stores the typed number as the default frame count at once.
class FrameReplicationDlg : public QDialog {
  Q_OBJECT

 public:
  FrameReplicationDlg(CFramewrightDoc& doc, QWidget* parent = nullptr);

  SpinEdit* countEdit() const { return count_; }
  QRadioButton* modeButton(ReplicationMode mode) const { return modes_[static_cast<int>(mode)]; }
  QPushButton* saveAsDefaultButton() const { return saveAsDefault_; }
  // The rules with what the widgets hold now.
  FrameReplicationDialog Rules() const;

  void accept() override;

 private:
  CFramewrightDoc& doc_;
  SpinEdit* count_;
  QRadioButton* modes_[2];
  QPushButton* saveAsDefault_;
};

}  // namespace quendrolix::app
