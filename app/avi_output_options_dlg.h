#pragma once

#include <QComboBox>
#include <QDialog>
#include <QRadioButton>

#include "project/project_dialogs.h"
#include "spin_edit.h"

namespace quendrolix::app {

// "AVI Output Options": the project's frames per second, colour depth and what becomes of
// a sound longer or shorter than the pictures. The rules are
// the core's AviOutputOptionsDialog; this only binds the widgets to them.
class AviOutputOptionsDlg : public QDialog {
  Q_OBJECT

 public:
  AviOutputOptionsDlg(const AviOutputOptionsDialog& rules, QWidget* parent = nullptr);

  // The rules with what the widgets hold now.
  AviOutputOptionsDialog Rules() const;
  SpinEdit* rateEdit() const { return rate_; }
  QRadioButton* depthButton(AviOutputOptionsDialog::Depth depth) const { return depths_[depth]; }
  QComboBox* soundFitBox() const { return soundFit_; }

 private:
  SpinEdit* rate_;
  QRadioButton* depths_[3];
  QComboBox* soundFit_;
};

}  // namespace quendrolix::app
