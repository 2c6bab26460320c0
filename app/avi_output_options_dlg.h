#pragma once

#include <QDialog>
#include <QRadioButton>

#include "project/project_dialogs.h"
#include "spin_edit.h"

namespace quendrolix::app {

// "AVI Output Options": the project's frames per second and colour depth. The rules are
// the core's AviOutputOptionsDialog; this only binds the widgets to them.
class AviOutputOptionsDlg : public QDialog {
  Q_OBJECT

 public:
  AviOutputOptionsDlg(const AviOutputOptionsDialog& rules, QWidget* parent = nullptr);

  // The rules with what the widgets hold now.
  AviOutputOptionsDialog Rules() const;
  SpinEdit* rateEdit() const { return rate_; }
  QRadioButton* depthButton(AviOutputOptionsDialog::Depth depth) const { return depths_[depth]; }

 private:
  SpinEdit* rate_;
  QRadioButton* depths_[3];
};

}  // namespace quendrolix::app
