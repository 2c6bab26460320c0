#pragma once

#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QRadioButton>

#include "project/project_dialogs.h"

namespace quendrolix::app {

// "Output Size": the frame every picture is fitted into and how. The rules are the core's
// OutputSizeDialog; this only binds the widgets to them.
class OutputSizeDlg : public QDialog {
  Q_OBJECT

 public:
  OutputSizeDlg(const OutputSizeDialog& rules, QWidget* parent = nullptr);

  // The rules with what the widgets hold now.
  OutputSizeDialog Rules() const;
  QComboBox* presetBox() const { return preset_; }
  QLineEdit* widthEdit() const { return width_; }
  QLineEdit* heightEdit() const { return height_; }
  QRadioButton* fitButton(PictureFit fit) const { return fits_[static_cast<int>(fit)]; }

  void accept() override;

 private:
  void UpdateEnables();

  QComboBox* preset_;
  QLineEdit* width_;
  QLineEdit* height_;
  QRadioButton* fits_[4];
};

}  // namespace quendrolix::app
