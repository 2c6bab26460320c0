#include "mpg_output_options_dlg.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QVBoxLayout>

namespace quendrolix::app {
namespace {

void Fill(QComboBox* box, const std::vector<std::string>& items, int selected) {
  box->clear();
  for (const std::string& item : items) box->addItem(QString::fromStdString(item));
  // A stored position outside the list selects nothing, as the list box would.
  box->setCurrentIndex(selected >= 0 && selected < box->count() ? selected : -1);
}

}  // namespace

MpgOutputOptionsDlg::MpgOutputOptionsDlg(const MpgOutputOptions& rules, QWidget* parent)
    : QDialog(parent), rules_(rules) {
  setObjectName("mpgOutputOptionsDialog");
  setWindowTitle("MPG Output Options");
  auto* audio = new QGroupBox("Audio", this);
  layer1_ = new QRadioButton("Layer 1", audio);
  layer2_ = new QRadioButton("Layer 2", audio);
  bitRate_ = new QComboBox(audio);
  frameRate_ = new QComboBox(this);
  videoRate_ = new QSpinBox(this);
  videoRate_->setObjectName("videoRate");
  // One step below the lowest rate stands for "automatic".
  videoRate_->setRange(MpgOutputOptions::kMinVideoRateKbps - 1,
                       MpgOutputOptions::kMaxVideoRateKbps);
  videoRate_->setSpecialValueText("automatic");
  videoRate_->setSuffix(" kbit/s");
  videoRate_->setSingleStep(50);
  videoRate_->setValue(rules_.videoRateKbps > 0 ? rules_.videoRateKbps : videoRate_->minimum());
  videoRate_->setToolTip(
      "Automatic: 1150 kbit/s for 352x288 at 25 frames/s, scaled with the pixels per second. "
      "Pictures held on screen are sent once, so a slideshow's file is far smaller.");
  (rules_.layerChoice == 0 ? layer1_ : layer2_)->setChecked(true);
  FillBitRates();
  Fill(frameRate_, MpgOutputOptions::FrameRateList(), rules_.frameRateIndex);

  connect(layer1_, &QRadioButton::clicked, this, [this] {
    rules_.bitRateIndex = bitRate_->currentIndex();
    rules_.ChooseLayer(0);
    FillBitRates();
  });
  connect(layer2_, &QRadioButton::clicked, this, [this] {
    rules_.bitRateIndex = bitRate_->currentIndex();
    rules_.ChooseLayer(1);
    FillBitRates();
  });

  auto* layers = new QHBoxLayout;
  layers->addWidget(layer1_);
  layers->addWidget(layer2_);
  auto* audioForm = new QFormLayout(audio);
  audioForm->addRow(layers);
  audioForm->addRow("Bit rate (kbit/s):", bitRate_);
  auto* videoForm = new QFormLayout;
  videoForm->addRow("Frames per second:", frameRate_);
  videoForm->addRow("Video bit rate:", videoRate_);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(audio);
  layout->addLayout(videoForm);
  layout->addWidget(buttons);
}

void MpgOutputOptionsDlg::FillBitRates() {
  Fill(bitRate_, rules_.BitRates(), rules_.bitRateIndex);
}

MpgOutputOptions MpgOutputOptionsDlg::Rules() const {
  rules_.layerChoice = layer1_->isChecked() ? 0 : 1;
  rules_.bitRateIndex = bitRate_->currentIndex();
  rules_.frameRateIndex = frameRate_->currentIndex();
  rules_.videoRateKbps = videoRate_->value() == videoRate_->minimum() ? 0 : videoRate_->value();
  return rules_;
}

}  // namespace quendrolix::app
