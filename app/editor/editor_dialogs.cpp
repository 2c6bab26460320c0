#include "editor_dialogs.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace quendrolix::app {

namespace {

QDialogButtonBox* OkCancel(QDialog* dialog) {
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, dialog);
  QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
  return buttons;
}

// A slider and a number box that follow each other.
QWidget* SliderWith(SpinEdit* edit, QWidget* parent) {
  auto* row = new QWidget(parent);
  auto* slider = new QSlider(Qt::Horizontal, row);
  slider->setRange(edit->minimum(), edit->maximum());
  slider->setValue(edit->value());
  slider->setMinimumWidth(200);
  QObject::connect(slider, &QSlider::valueChanged, edit, &QSpinBox::setValue);
  QObject::connect(edit, &QSpinBox::valueChanged, slider, &QSlider::setValue);
  auto* layout = new QHBoxLayout(row);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(slider, 1);
  layout->addWidget(edit);
  return row;
}

}  // namespace

ResizeDlg::ResizeDlg(QSize current, QWidget* parent) : QDialog(parent), current_(current) {
  setWindowTitle("Resize");
  width_ = new SpinEdit(1, edit::kMaxSide, this);
  height_ = new SpinEdit(1, edit::kMaxSide, this);
  width_->setObjectName("resizeWidth");
  height_->setObjectName("resizeHeight");
  width_->setSuffix(" pixels");
  height_->setSuffix(" pixels");
  width_->setValue(std::max(current.width(), 1));
  height_->setValue(std::max(current.height(), 1));
  keep_ = new QCheckBox("&Keep proportions", this);
  keep_->setChecked(true);
  connect(width_, &QSpinBox::valueChanged, this, [this] { Follow(true); });
  connect(height_, &QSpinBox::valueChanged, this, [this] { Follow(false); });

  auto* form = new QFormLayout;
  form->addRow(
      new QLabel(QString("Now %1 x %2 pixels.").arg(current.width()).arg(current.height()), this));
  form->addRow("&Width:", width_);
  form->addRow("&Height:", height_);
  form->addRow(keep_);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(OkCancel(this));
}

void ResizeDlg::Follow(bool fromWidth) {
  // With proportions kept, the other side follows the one typed.
  if (following_ || !keep_->isChecked() || current_.width() < 1 || current_.height() < 1) return;
  following_ = true;
  if (fromWidth)
    height_->setValue(static_cast<int>(
        (int64_t{width_->value()} * current_.height() + current_.width() / 2) / current_.width()));
  else
    width_->setValue(
        static_cast<int>((int64_t{height_->value()} * current_.width() + current_.height() / 2) /
                         current_.height()));
  following_ = false;
}

edit::EditOperation ResizeDlg::Operation() const {
  edit::EditOperation operation{edit::EditKind::kResize};
  operation.width = width_->value();
  operation.height = height_->value();
  return operation;
}

BrightnessContrastDlg::BrightnessContrastDlg(QWidget* parent) : QDialog(parent) {
  setWindowTitle("Brightness/Contrast");
  brightness_ = new SpinEdit(edit::kMinAdjust, edit::kMaxAdjust, this);
  contrast_ = new SpinEdit(edit::kMinAdjust, edit::kMaxAdjust, this);
  brightness_->setObjectName("brightness");
  contrast_->setObjectName("contrast");
  auto* form = new QFormLayout;
  form->addRow("&Brightness:", SliderWith(brightness_, this));
  form->addRow("&Contrast:", SliderWith(contrast_, this));
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(OkCancel(this));
}

edit::EditOperation BrightnessContrastDlg::Operation() const {
  edit::EditOperation operation{edit::EditKind::kBrightnessContrast};
  operation.brightness = brightness_->value();
  operation.contrast = contrast_->value();
  return operation;
}

}  // namespace quendrolix::app
