#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QSlider>
#include <QSpinBox>

#include "avi/codec_options.h"

namespace quendrolix::app {

// "Video Compression": the compressor and its common options, bound to the core's
// CompressionDialogState. OK writes the widgets into the state.
class CompressionDlg : public QDialog {
  Q_OBJECT

 public:
  CompressionDlg(CompressionDialogState& state, QWidget* parent = nullptr);

  QComboBox* compressorBox() const { return compressor_; }
  QSlider* qualitySlider() const { return quality_; }
  QCheckBox* keyFramesBox() const { return keyFrames_; }
  QSpinBox* keyFrameEdit() const { return keyFrameEvery_; }
  QCheckBox* dataRateBox() const { return dataRate_; }
  QSpinBox* dataRateEdit() const { return dataRateKBps_; }

  void accept() override;

 private:
  void UpdateEnables();

  CompressionDialogState& state_;
  QComboBox* compressor_;
  QLabel* note_;
  QLabel* qualityLabel_;
  QSlider* quality_;
  QCheckBox* keyFrames_;
  QSpinBox* keyFrameEvery_;
  QCheckBox* dataRate_;
  QSpinBox* dataRateKBps_;
};

}  // namespace quendrolix::app
