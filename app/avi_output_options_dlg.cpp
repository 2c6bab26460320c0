#include "avi_output_options_dlg.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QVBoxLayout>

namespace quendrolix::app {

AviOutputOptionsDlg::AviOutputOptionsDlg(const AviOutputOptionsDialog& rules, QWidget* parent)
    : QDialog(parent) {
  setWindowTitle("AVI Output Options");
  rate_ = new SpinEdit(AviOutputOptionsDialog::kSpinMin, AviOutputOptionsDialog::kSpinMax, this);
  rate_->setText(QString::fromStdString(rules.rateText));

  auto* depthBox = new QGroupBox("Colour depth", this);
  auto* depthLayout = new QVBoxLayout(depthBox);
  static const char* const kDepthTexts[3] = {"256 colours (8-bit)", "Plenty of colours (16-bit)",
                                             "Millions of colours (24-bit)"};
  for (int i = 0; i < 3; ++i) {
    depths_[i] = new QRadioButton(kDepthTexts[i], depthBox);
    depthLayout->addWidget(depths_[i]);
  }
  depths_[rules.depth]->setChecked(true);

  soundFit_ = new QComboBox(this);
  for (SoundFit fit : {SoundFit::kTrim, SoundFit::kFit, SoundFit::kKeep})
    soundFit_->addItem(AviOutputOptionsDialog::SoundFitLabel(fit));
  soundFit_->setCurrentIndex(static_cast<int>(rules.soundFit));

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  auto* form = new QFormLayout;
  form->addRow("Frames per second:", rate_);
  form->addRow("Sound:", soundFit_);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(depthBox);
  layout->addWidget(buttons);
}

AviOutputOptionsDialog AviOutputOptionsDlg::Rules() const {
  AviOutputOptionsDialog rules;
  rules.rateText = rate_->text().toStdString();
  for (int i = 0; i < 3; ++i)
    if (depths_[i]->isChecked()) rules.depth = static_cast<AviOutputOptionsDialog::Depth>(i);
  const int fit = soundFit_->currentIndex();
  if (fit >= 0 && fit <= 2) rules.soundFit = static_cast<SoundFit>(fit);
  return rules;
}

}  // namespace quendrolix::app
