#include "morph_dlg.h"

#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QRadioButton>

#include "framewright_app.h"
#include "help_topics.h"

namespace quendrolix::app {
namespace {
constexpr const char* kNoFileCaption = "Browse...";
constexpr const char* kTipsTopic = "./how_to.../perform_morphing.htm";
}  // namespace

MorphDlg::MorphDlg(MorphDialog rules, SettingsStore& store, FileChooser& chooser,
                   const QString& imageFolder, QWidget* parent)
    : QDialog(parent),
      rules_(std::move(rules)),
      store_(store),
      chooser_(chooser),
      imageFolder_(imageFolder),
      pickFolder_(SystemFolderPicker()) {
  setObjectName("morphDialog");
  setWindowTitle("Morphing");
  auto* layout = new QGridLayout(this);
  int row = 0;
  // The steps are labelled 1076 to 1078 and 1080 to 1082 in the original layout.
  auto step = [&](int n, const char* text) {
    layout->addWidget(new QLabel(QString("Step %1").arg(n), this), row, 0);
    layout->addWidget(new QLabel(text, this), row++, 1);
  };
  auto pathButton = [this](int id) {
    auto* button = new QPushButton(kNoFileCaption, this);
    button->setObjectName(QString("button%1").arg(id));
    button->setAutoDefault(false);
    button->setMinimumWidth(360);
    button->setStyleSheet("text-align: left; padding: 4px 8px;");
    return button;
  };

  step(1, "Select the image to morph from:");
  source_ = pathButton(kSourceButton);
  layout->addWidget(source_, row++, 1);
  step(2, "Select the image to morph into:");
  target_ = pathButton(kTargetButton);
  layout->addWidget(target_, row++, 1);
  step(3, "Specify the number of in-between steps (1-254):");
  steps_ = new QLineEdit(QString::fromStdString(rules_.stepsText), this);
  steps_->setObjectName(QString("edit%1").arg(kStepsEdit));
  steps_->setMaximumWidth(100);
  layout->addWidget(steps_, row++, 1);
  step(4, "What to do with the generated images?");
  disposition_ = new QButtonGroup(this);
  const char* choices[] = {"Start a new animation", "Append to the current animation",
                           "Just make the images"};
  for (int i = 0; i < 3; ++i) {
    auto* radio = new QRadioButton(choices[i], this);
    radio->setObjectName(QString("radio%1").arg(kNewRadio + i));
    disposition_->addButton(radio, i);
    layout->addWidget(radio, row++, 1);
  }
  disposition_->button(static_cast<int>(rules_.disposition))->setChecked(true);
  step(5, "Specify the folder for the generated images");
  folder_ = pathButton(kFolderButton);
  layout->addWidget(folder_, row++, 1);
  step(6, "Images will be stored as Img0001.bmp, Img0002.bmp, etc. starting with:");
  start_ = new QLineEdit(QString::fromStdString(rules_.startText), this);
  start_->setObjectName(QString("edit%1").arg(kStartEdit));
  start_->setMaximumWidth(100);
  layout->addWidget(start_, row++, 1);

  auto* buttons = new QHBoxLayout;
  auto* tips = new QPushButton("Tips on Morphing", this);
  tips->setObjectName(QString("button%1").arg(kTipsButton));
  tips->setAutoDefault(false);
  morph_ = new QPushButton("&Morph", this);
  cancel_ = new QPushButton("&Cancel", this);
  buttons->addWidget(tips);
  buttons->addStretch();
  buttons->addWidget(morph_);
  buttons->addWidget(cancel_);
  layout->addLayout(buttons, row, 0, 1, 2);

  connect(source_, &QPushButton::clicked, this, [this] { PickPicture(true); });
  connect(target_, &QPushButton::clicked, this, [this] { PickPicture(false); });
  connect(folder_, &QPushButton::clicked, this, [this] {
    QString chosen =
        pickFolder_(this, MorphDialog::kFolderTitle, QString::fromStdString(rules_.folder));
    if (!chosen.isEmpty()) rules_.folder = chosen.toStdString();
    ShowChoices();
  });
  connect(tips, &QPushButton::clicked, this, [] { ShowHelpTopic(kTipsTopic); });
  connect(morph_, &QPushButton::clicked, this, &MorphDlg::accept);
  connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
  ShowChoices();
}

void MorphDlg::ShowChoices() {
  auto caption = [](QPushButton* button, const std::string& path) {
    button->setText(path.empty() ? QString(kNoFileCaption) : QString::fromStdString(path));
    button->setToolTip(QString::fromStdString(path));
  };
  caption(source_, rules_.sourcePath);
  caption(target_, rules_.targetPath);
  caption(folder_, rules_.folder);
  morph_->setEnabled(rules_.MorphEnabled());
}

void MorphDlg::PickPicture(bool source) {
  QStringList files = chooser_.ChooseImageFiles(
      this, source ? "Select the image to morph from" : "Select the image to morph into",
      imageFolder_, kImageFilter, false);
  if (files.isEmpty()) return;
  if (source)
    SetSource(files.first());
  else
    SetTarget(files.first());
}

void MorphDlg::SetSource(const QString& path) {
  rules_.SetSource(path.toStdString());
  imageFolder_ = QFileInfo(path).absolutePath();
  ShowChoices();
}

void MorphDlg::SetTarget(const QString& path) {
  rules_.SetTarget(path.toStdString());
  imageFolder_ = QFileInfo(path).absolutePath();
  ShowChoices();
}

void MorphDlg::accept() {
  rules_.stepsText = steps_->text().toStdString();
  rules_.startText = start_->text().toStdString();
  rules_.disposition = static_cast<ImageDisposition>(disposition_->checkedId());
  if (rules_.Accept(store_)) QDialog::accept();
}

}  // namespace quendrolix::app
