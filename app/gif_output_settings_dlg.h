#pragma once

#include <QCheckBox>
#include <QDialog>
#include <QPushButton>
#include <QRadioButton>

#include "image/gif/gif_options_dialog.h"
#include "image/gif/gif_output_settings.h"
#include "project/settings_store.h"
#include "spin_edit.h"

namespace quendrolix::app {

// "Animated GIF output options": binds its widgets to the core's GifOutputOptionsDialog.
// OK puts the widgets into `rules` and runs the program with the taken settings (`rules`
// then holds what was chosen); "&Save settings as default" also writes them to the store;
// "Reset to &default settings" refills the widgets from the store; Cancel changes nothing.
class GifOutputSettingsDlg : public QDialog {
  Q_OBJECT

 public:
  GifOutputSettingsDlg(GifOutputOptionsDialog& rules, QWidget* parent = nullptr);

  // The settings OK and Save change and the store Save and Reset use; the program's own
  // (TheGifOutputSettings(), TheSettingsStore()) unless set.
  void SetTargets(GifOutputSettings& program, SettingsStore& store);

  // Opens the dialog over the program's settings and applies them on OK. True on OK.
  static bool Run(QWidget* parent);

  // The rules with what the widgets hold now.
  void TakeWidgets();

  QCheckBox* globalColormapBox() const { return globalColormap_; }
  QCheckBox* interlacedBox() const { return interlaced_; }
  QCheckBox* showDialogBox() const { return showDialog_; }
  QRadioButton* loopForeverButton() const { return loopForever_; }
  QRadioButton* repeatButton() const { return repeat_; }
  QRadioButton* noTransparencyButton() const { return noTransparency_; }
  QRadioButton* transparencyButton() const { return transparency_; }
  SpinEdit* repeatEdit() const { return repeatEdit_; }
  SpinEdit* entryEdit() const { return entryEdit_; }
  SpinEdit* delayEdit() const { return delayEdit_; }
  QPushButton* saveDefaultButton() const { return saveDefault_; }
  QPushButton* resetDefaultButton() const { return resetDefault_; }

  void accept() override;

 private:
  void FillWidgets();
  void UpdateEnables();
  void Choose(void (GifOutputOptionsDialog::*choice)());

  GifOutputOptionsDialog& rules_;
  GifOutputSettings* program_;
  SettingsStore* store_;
  QCheckBox* globalColormap_;
  QCheckBox* interlaced_;
  QCheckBox* showDialog_;
  QRadioButton* loopForever_;
  QRadioButton* repeat_;
  QRadioButton* noTransparency_;
  QRadioButton* transparency_;
  SpinEdit* repeatEdit_;
  SpinEdit* entryEdit_;
  SpinEdit* delayEdit_;
  QPushButton* saveDefault_;
  QPushButton* resetDefault_;
};

}  // namespace quendrolix::app
