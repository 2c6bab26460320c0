#include "output_size_dlg.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QVBoxLayout>

namespace quendrolix::app {

OutputSizeDlg::OutputSizeDlg(const OutputSizeDialog& rules, QWidget* parent) : QDialog(parent) {
  setWindowTitle("Output Size");
  preset_ = new QComboBox(this);
  for (int p = 0; p < OutputSizeDialog::kPresetCount; ++p)
    preset_->addItem(OutputSizeDialog::PresetText(static_cast<OutputSizeDialog::Preset>(p)));
  preset_->setCurrentIndex(rules.preset);
  width_ = new QLineEdit(QString::fromStdString(rules.widthText), this);
  height_ = new QLineEdit(QString::fromStdString(rules.heightText), this);
  for (QLineEdit* side : {width_, height_}) side->setMaxLength(5);
  auto* custom = new QHBoxLayout;
  custom->addWidget(width_);
  custom->addWidget(new QLabel("x", this));
  custom->addWidget(height_);

  auto* fitBox = new QGroupBox("Fit each picture", this);
  auto* fitLayout = new QVBoxLayout(fitBox);
  static const char* const kFitTexts[4] = {
      "Letterbox: the whole picture, centred on black",
      "Crop: fill the frame, the overflow cut off", "Stretch: fill the frame, proportions lost",
      "None: not scaled (an AVI stops at a picture of another size)"};
  for (int i = 0; i < 4; ++i) {
    fits_[i] = new QRadioButton(kFitTexts[i], fitBox);
    fitLayout->addWidget(fits_[i]);
  }
  fits_[static_cast<int>(rules.fit)]->setChecked(true);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(preset_, &QComboBox::currentIndexChanged, this, [this] { UpdateEnables(); });

  auto* form = new QFormLayout;
  form->addRow("Frame size:", preset_);
  form->addRow("Custom (width x height):", custom);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(fitBox);
  layout->addWidget(new QLabel("Every output kind rounds the size to what it codes.", this));
  layout->addWidget(buttons);
  UpdateEnables();
}

void OutputSizeDlg::UpdateEnables() {
  const bool custom = Rules().CustomEnabled();
  width_->setEnabled(custom);
  height_->setEnabled(custom);
}

OutputSizeDialog OutputSizeDlg::Rules() const {
  OutputSizeDialog rules;
  rules.preset = static_cast<OutputSizeDialog::Preset>(preset_->currentIndex());
  rules.widthText = width_->text().toStdString();
  rules.heightText = height_->text().toStdString();
  for (int i = 0; i < 4; ++i)
    if (fits_[i]->isChecked()) rules.fit = static_cast<PictureFit>(i);
  return rules;
}

void OutputSizeDlg::accept() {
  std::string problem;
  if (!Rules().Check(problem)) {
    QMessageBox::warning(this, windowTitle(), QString::fromStdString(problem));
    return;
  }
  QDialog::accept();
}

}  // namespace quendrolix::app
