#pragma once

#include <QComboBox>
#include <QDialog>
#include <QRadioButton>
#include <QSpinBox>

#include "mpeg/options/mpg_output_options.h"

namespace quendrolix::app {

// "MPG Output Options": the audio layer, its bit rate, the frame rate and the video bit
// rate of the project's MPG files, bound to the core's MpgOutputOptions.
class MpgOutputOptionsDlg : public QDialog {
  Q_OBJECT

 public:
  MpgOutputOptionsDlg(const MpgOutputOptions& rules, QWidget* parent = nullptr);

  // The rules with what the widgets hold now.
  MpgOutputOptions Rules() const;

  QRadioButton* layerButton(int choice) const { return choice == 0 ? layer1_ : layer2_; }
  QComboBox* bitRateBox() const { return bitRate_; }
  QComboBox* frameRateBox() const { return frameRate_; }
  QSpinBox* videoRateBox() const { return videoRate_; }

 private:
  void FillBitRates();

  mutable MpgOutputOptions rules_;
  QRadioButton* layer1_;
  QRadioButton* layer2_;
  QComboBox* bitRate_;
  QComboBox* frameRate_;
  QSpinBox* videoRate_;  // kbit/s; its lowest value reads "automatic"
};

}  // namespace quendrolix::app
