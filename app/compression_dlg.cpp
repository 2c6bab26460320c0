#include "compression_dlg.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QVBoxLayout>

#include "platform/host/user_prompts.h"
#include "platform/vfw/codec.h"

namespace quendrolix::app {

CompressionDlg::CompressionDlg(CompressionDialogState& state, QWidget* parent)
    : QDialog(parent), state_(state) {
  setObjectName("compressionDialog");
  setWindowTitle("Video Compression");
  compressor_ = new QComboBox(this);
  for (const CompressorChoice& choice : state_.compressors)
    compressor_->addItem(QString::fromStdString(choice.name));
  note_ = new QLabel(this);
  // Depths and what Quality does: a few wrapped lines, whichever compressor is chosen.
  note_->setWordWrap(true);
  note_->setMinimumWidth(360);
  note_->setMinimumHeight(4 * note_->fontMetrics().lineSpacing());
  note_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  qualityLabel_ = new QLabel(this);
  quality_ = new QSlider(Qt::Horizontal, this);
  quality_->setRange(0, 100);
  keyFrames_ = new QCheckBox("&Key Frame Every", this);
  keyFrameEvery_ = new QSpinBox(this);
  keyFrameEvery_->setRange(1, 9999);
  keyFrameEvery_->setSuffix(" frames");
  dataRate_ = new QCheckBox("&Data Rate", this);
  dataRateKBps_ = new QSpinBox(this);
  dataRateKBps_->setRange(1, 99999);
  dataRateKBps_->setSuffix(" KB/sec");

  compressor_->setCurrentIndex(state_.selected);
  quality_->setValue(state_.qualityPercent);
  keyFrames_->setChecked(state_.keyFramesOn);
  keyFrameEvery_->setValue(state_.keyFrameEvery);
  dataRate_->setChecked(state_.dataRateOn);
  dataRateKBps_->setValue(state_.dataRateKBps);

  connect(compressor_, &QComboBox::currentIndexChanged, this, [this](int index) {
    state_.Select(index);
    UpdateEnables();
  });
  connect(quality_, &QSlider::valueChanged, this, [this] { UpdateEnables(); });
  connect(keyFrames_, &QCheckBox::toggled, this, [this] { UpdateEnables(); });
  connect(dataRate_, &QCheckBox::toggled, this, [this] { UpdateEnables(); });

  auto* options = new QGroupBox(this);
  auto* grid = new QGridLayout(options);
  grid->addWidget(qualityLabel_, 0, 0, 1, 2);
  grid->addWidget(quality_, 1, 0, 1, 2);
  grid->addWidget(keyFrames_, 2, 0);
  grid->addWidget(keyFrameEvery_, 2, 1);
  grid->addWidget(dataRate_, 3, 0);
  grid->addWidget(dataRateKBps_, 3, 1);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel("Compressor:", this));
  layout->addWidget(compressor_);
  layout->addWidget(note_);
  layout->addWidget(options);
  layout->addWidget(buttons);
  UpdateEnables();
}

void CompressionDlg::UpdateEnables() {
  const CompressorChoice* choice = state_.current();
  QString note;
  if (choice) {
    QStringList depths;
    for (int depth : choice->depths) depths << QString::number(depth);
    note = QString("Takes %1-bit frames (%2)")
               .arg(depths.join(", "), FourCCText(choice->handler).c_str());
    if (const CodecDescription* codec = FindCodec(choice->handler))
      note += "\n" + QString::fromStdString(codec->qualityNote);
  }
  note_->setText(note);
  qualityLabel_->setText(QString("Compression Quality: %1").arg(quality_->value()));
  quality_->setEnabled(state_.QualityEnabled());
  qualityLabel_->setEnabled(state_.QualityEnabled());
  keyFrames_->setEnabled(state_.KeyFramesEnabled());
  keyFrameEvery_->setEnabled(state_.KeyFramesEnabled() && keyFrames_->isChecked());
  dataRate_->setEnabled(state_.DataRateEnabled());
  dataRateKBps_->setEnabled(state_.DataRateEnabled() && dataRate_->isChecked());
}

void CompressionDlg::accept() {
  state_.Select(compressor_->currentIndex());
  // A compressor that cannot take the project's frames is refused here, not at the build.
  const std::string refusal = state_.Refusal();
  if (!refusal.empty()) {
    Prompts().ShowMessage(refusal);
    return;
  }
  state_.SetQualityPercent(quality_->value());
  state_.keyFramesOn = keyFrames_->isChecked();
  state_.SetKeyFrameEvery(keyFrameEvery_->value());
  state_.dataRateOn = dataRate_->isChecked();
  state_.SetDataRateKBps(dataRateKBps_->value());
  QDialog::accept();
}

}  // namespace quendrolix::app
