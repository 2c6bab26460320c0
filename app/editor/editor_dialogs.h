#pragma once

#include <QCheckBox>
#include <QDialog>
#include <QSlider>

#include "image/edit/edit_operation.h"
#include "spin_edit.h"

namespace quendrolix::app {

// "Resize": a new width and height, kept in proportion to the picture unless unchecked.
class ResizeDlg : public QDialog {
  Q_OBJECT

 public:
  ResizeDlg(QSize current, QWidget* parent = nullptr);
  SpinEdit* widthEdit() const { return width_; }
  SpinEdit* heightEdit() const { return height_; }
  QCheckBox* keepProportions() const { return keep_; }
  edit::EditOperation Operation() const;

 private:
  void Follow(bool fromWidth);
  QSize current_;
  SpinEdit* width_;
  SpinEdit* height_;
  QCheckBox* keep_;
  bool following_ = false;
};

// "Brightness/Contrast": two values from -100 to 100, each a slider with a number box.
class BrightnessContrastDlg : public QDialog {
  Q_OBJECT

 public:
  explicit BrightnessContrastDlg(QWidget* parent = nullptr);
  SpinEdit* brightnessEdit() const { return brightness_; }
  SpinEdit* contrastEdit() const { return contrast_; }
  edit::EditOperation Operation() const;

 private:
  SpinEdit* brightness_;
  SpinEdit* contrast_;
};

}  // namespace quendrolix::app
