#include "extract_images_dlg.h"

#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QRadioButton>
#include <QVBoxLayout>

namespace quendrolix::app {

ExtractImagesDlg::ExtractImagesDlg(ExtractImagesDialog rules, SettingsStore& store,
                                   FileChooser& chooser, Runner run, QWidget* parent)
    : QDialog(parent),
      rules_(std::move(rules)),
      store_(store),
      chooser_(chooser),
      run_(std::move(run)),
      pickFolder_(SystemFolderPicker()) {
  setObjectName("extractImagesDialog");
  setWindowTitle(ExtractImagesDialog::kTitle);
  auto* layout = new QGridLayout(this);
  int row = 0;
  auto step = [&](int n, const char* text) {
    layout->addWidget(new QLabel(QString("Step %1").arg(n), this), row, 0);
    layout->addWidget(new QLabel(text, this), row, 1, 1, 2);
    ++row;
  };
  auto browse = [this](int id) {
    auto* button = new QPushButton("...", this);
    button->setObjectName(QString("button%1").arg(id));
    button->setAutoDefault(false);
    return button;
  };

  step(1, "Select AVI or Multi-page TIFF");
  source_ = new QLineEdit(QString::fromStdString(rules_.sourcePath), this);
  source_->setObjectName(QString("edit%1").arg(kSourceEdit));
  source_->setMinimumWidth(360);
  sourceButton_ = browse(kSourceButton);
  layout->addWidget(source_, row, 1);
  layout->addWidget(sourceButton_, row++, 2);

  step(2, "What to do with the extracted images?");
  disposition_ = new QButtonGroup(this);
  const char* choices[] = {"Start a new animation", "Append to the current animation",
                           "Just extract the images"};
  for (int i = 0; i < 3; ++i) {
    auto* radio = new QRadioButton(choices[i], this);
    radio->setObjectName(QString("radio%1").arg(kNewRadio + i));
    disposition_->addButton(radio, i);
    layout->addWidget(radio, row++, 1, 1, 2);
  }
  disposition_->button(static_cast<int>(rules_.disposition))->setChecked(true);

  step(3, "Specify the folder for the extracted images");
  folder_ = new QLineEdit(QString::fromStdString(rules_.folder), this);
  folder_->setObjectName(QString("edit%1").arg(kFolderEdit));
  folderButton_ = browse(kFolderButton);
  layout->addWidget(folder_, row, 1);
  layout->addWidget(folderButton_, row++, 2);
  always_ = new QCheckBox("Always use this folder", this);
  always_->setObjectName(QString("check%1").arg(kAlwaysCheck));
  always_->setChecked(rules_.alwaysUseFolder);
  layout->addWidget(always_, row++, 1, 1, 2);

  step(4, "Images will be stored as Img0001.bmp, Img0002.bmp, etc. starting with:");
  start_ = new QLineEdit(QString::fromStdString(rules_.startText), this);
  start_->setObjectName(QString("edit%1").arg(kStartEdit));
  start_->setMaximumWidth(100);
  layout->addWidget(start_, row++, 1);

  auto* buttons = new QHBoxLayout;
  doIt_ = new QPushButton("&Do it!", this);
  close_ = new QPushButton("&Close", this);
  doIt_->setAutoDefault(false);
  buttons->addStretch();
  buttons->addWidget(doIt_);
  buttons->addWidget(close_);
  layout->addLayout(buttons, row, 0, 1, 3);

  connect(doIt_, &QPushButton::clicked, this, &ExtractImagesDlg::OnDoIt);
  connect(close_, &QPushButton::clicked, this, &QDialog::reject);
  connect(sourceButton_, &QPushButton::clicked, this, [this] {
    QStringList files = chooser_.ChooseOpenFiles(this, ExtractImagesDialog::kTitle,
                                                 QFileInfo(source_->text()).absolutePath(),
                                                 ExtractImagesDialog::kOpenFilter, false);
    if (!files.isEmpty()) source_->setText(files.first());
  });
  connect(folderButton_, &QPushButton::clicked, this, [this] {
    QString chosen = pickFolder_(this, ExtractImagesDialog::kFolderTitle, folder_->text());
    if (!chosen.isEmpty()) folder_->setText(chosen);
  });
}

void ExtractImagesDlg::TakeWidgets() {
  rules_.sourcePath = source_->text().toStdString();
  rules_.folder = folder_->text().toStdString();
  rules_.startText = start_->text().toStdString();
  rules_.alwaysUseFolder = always_->isChecked();
  rules_.disposition = static_cast<ImageDisposition>(disposition_->checkedId());
}

void ExtractImagesDlg::OnDoIt() {
  TakeWidgets();
  run_(rules_);
  // The rules settle the folder's spelling and move the first number on.
  folder_->setText(QString::fromStdString(rules_.folder));
  start_->setText(QString::fromStdString(rules_.startText));
}

void ExtractImagesDlg::done(int result) {
  TakeWidgets();
  rules_.Close(store_);
  QDialog::done(result);
}

}  // namespace quendrolix::app
