#include "gif_output_settings_dlg.h"

#include <QButtonGroup>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "help_topics.h"

namespace quendrolix::app {

using Rules = GifOutputOptionsDialog;

GifOutputSettingsDlg::GifOutputSettingsDlg(GifOutputOptionsDialog& rules, QWidget* parent)
    : QDialog(parent),
      rules_(rules),
      program_(&TheGifOutputSettings()),
      store_(&TheSettingsStore()) {
  setObjectName("gifOutputSettingsDialog");
  setWindowTitle("Animated GIF output options");

  globalColormap_ = new QCheckBox("&Use colormap from the first image globally", this);
  interlaced_ = new QCheckBox("&Interlaced", this);

  auto* playBox = new QGroupBox(this);
  loopForever_ = new QRadioButton("&Loop the animation forever", playBox);
  repeat_ = new QRadioButton("&Repeat the animation", playBox);
  repeatEdit_ = new SpinEdit(Rules::kRepeatSpinMin, Rules::kRepeatSpinMax, playBox);
  repeatEdit_->setFixedWidth(70);
  auto* playLayout = new QGridLayout(playBox);
  playLayout->addWidget(loopForever_, 0, 0, 1, 3);
  playLayout->addWidget(repeat_, 1, 0);
  playLayout->addWidget(repeatEdit_, 1, 1);
  playLayout->addWidget(new QLabel("times.", playBox), 1, 2);
  playLayout->setColumnStretch(3, 1);

  auto* transparencyBox = new QGroupBox(this);
  noTransparency_ = new QRadioButton("&No transparency", transparencyBox);
  transparency_ = new QRadioButton("Set &transparency to palette entry number", transparencyBox);
  entryEdit_ = new SpinEdit(Rules::kEntrySpinMin, Rules::kEntrySpinMax, transparencyBox);
  entryEdit_->setFixedWidth(70);
  auto* transparencyLayout = new QGridLayout(transparencyBox);
  transparencyLayout->addWidget(noTransparency_, 0, 0, 1, 2);
  transparencyLayout->addWidget(transparency_, 1, 0);
  transparencyLayout->addWidget(entryEdit_, 1, 1);
  transparencyLayout->setColumnStretch(2, 1);

  showDialog_ = new QCheckBox("Open this dialog before saving", this);
  delayEdit_ = new SpinEdit(Rules::kDelaySpinMin, Rules::kDelaySpinMax, this);
  delayEdit_->setFixedWidth(80);
  auto* delayRow = new QHBoxLayout;
  delayRow->addWidget(new QLabel("Delay each frame for ", this));
  delayRow->addWidget(delayEdit_);
  delayRow->addWidget(new QLabel("/ 100 seconds", this));
  delayRow->addStretch(1);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  saveDefault_ = buttons->addButton("&Save settings as default", QDialogButtonBox::ActionRole);
  resetDefault_ = buttons->addButton("Reset to &default settings", QDialogButtonBox::ActionRole);
  QPushButton* help = buttons->addButton("&Help", QDialogButtonBox::HelpRole);
  for (QPushButton* button : {saveDefault_, resetDefault_, help}) button->setAutoDefault(false);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(help, &QPushButton::clicked, this, [] { ShowHelpTopic(Rules::kHelpTopic); });
  connect(saveDefault_, &QPushButton::clicked, this, [this] {
    TakeWidgets();
    rules_.SaveAsDefault(*program_, *store_);
  });
  connect(resetDefault_, &QPushButton::clicked, this, [this] {
    TakeWidgets();
    rules_.ResetToDefault(*store_);
    FillWidgets();
  });
  connect(loopForever_, &QRadioButton::clicked, this,
          [this] { Choose(&Rules::ChooseLoopForever); });
  connect(repeat_, &QRadioButton::clicked, this, [this] { Choose(&Rules::ChooseRepeat); });
  connect(noTransparency_, &QRadioButton::clicked, this,
          [this] { Choose(&Rules::ChooseNoTransparency); });
  connect(transparency_, &QRadioButton::clicked, this,
          [this] { Choose(&Rules::ChooseTransparency); });

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(globalColormap_);
  layout->addWidget(interlaced_);
  layout->addWidget(playBox);
  layout->addWidget(transparencyBox);
  layout->addWidget(showDialog_);
  layout->addLayout(delayRow);
  layout->addWidget(buttons);
  FillWidgets();
}

void GifOutputSettingsDlg::SetTargets(GifOutputSettings& program, SettingsStore& store) {
  program_ = &program;
  store_ = &store;
}

bool GifOutputSettingsDlg::Run(QWidget* parent) {
  GifOutputOptionsDialog rules = GifOutputOptionsDialog::Open(TheGifOutputSettings());
  GifOutputSettingsDlg dialog(rules, parent);
  return dialog.exec() == QDialog::Accepted;
}

void GifOutputSettingsDlg::FillWidgets() {
  globalColormap_->setChecked(rules_.globalColormap);
  interlaced_->setChecked(rules_.interlaced);
  showDialog_->setChecked(rules_.showDialog);
  (rules_.loopForever ? loopForever_ : repeat_)->setChecked(true);
  (rules_.transparency ? transparency_ : noTransparency_)->setChecked(true);
  repeatEdit_->setText(QString::fromStdString(rules_.repeatText));
  entryEdit_->setText(QString::fromStdString(rules_.entryText));
  delayEdit_->setText(QString::fromStdString(rules_.delayText));
  UpdateEnables();
}

void GifOutputSettingsDlg::TakeWidgets() {
  rules_.globalColormap = globalColormap_->isChecked();
  rules_.interlaced = interlaced_->isChecked();
  rules_.showDialog = showDialog_->isChecked();
  rules_.loopForever = loopForever_->isChecked();
  rules_.transparency = transparency_->isChecked();
  rules_.repeatText = repeatEdit_->text().toStdString();
  rules_.entryText = entryEdit_->text().toStdString();
  rules_.delayText = delayEdit_->text().toStdString();
}

void GifOutputSettingsDlg::UpdateEnables() {
  repeatEdit_->setEnabled(rules_.RepeatEditEnabled());
  entryEdit_->setEnabled(rules_.EntryEditEnabled());
}

void GifOutputSettingsDlg::Choose(void (GifOutputOptionsDialog::*choice)()) {
  TakeWidgets();
  rules_.focusControl = 0;
  (rules_.*choice)();
  UpdateEnables();
  if (rules_.focusControl == Rules::kRepeatEdit) repeatEdit_->edit()->setFocus();
  if (rules_.focusControl == Rules::kTransparencyEdit) entryEdit_->edit()->setFocus();
}

void GifOutputSettingsDlg::accept() {
  TakeWidgets();
  rules_.Ok(*program_);
  QDialog::accept();
}

}  // namespace quendrolix::app
