#include "merge_dlg.h"

#include <QDialogButtonBox>
#include <QFileInfo>
#include <QVBoxLayout>

namespace quendrolix::app {

using namespace merge_dialog;

namespace {
constexpr const char* kNoFileCaption = "Browse...";
}

MergeDlg::MergeDlg(MergeForm form, FileChooser& chooser, const QString& folder, QWidget* parent)
    : QDialog(parent), chooser_(chooser), folder_(folder) {
  rules_.form = form;
  const MergeDialogTexts& texts = MergeTexts(form);
  setObjectName("mergeDialog");
  setWindowTitle(texts.title);
  auto* layout = new QVBoxLayout(this);
  const std::pair<int, const char*> rows[] = {{kAnimationButton, texts.animationPrompt},
                                              {kSoundButton, texts.soundPrompt},
                                              {kOutputButton, texts.outputPrompt}};
  for (const auto& [id, text] : rows) {
    auto* label = new QLabel(text, this);
    auto* button = new QPushButton(kNoFileCaption, this);
    button->setObjectName(QString("button%1").arg(id));
    button->setAutoDefault(false);
    button->setMinimumWidth(360);
    button->setStyleSheet("text-align: left; padding: 4px 8px;");
    connect(button, &QPushButton::clicked, this, [this, id = id] { Pick(id); });
    prompts_.insert(id, label);
    buttons_.insert(id, button);
    layout->addWidget(label);
    layout->addWidget(button);
    layout->addSpacing(6);
  }
  auto* box = new QDialogButtonBox(this);
  ok_ = box->addButton(kDoIt, QDialogButtonBox::AcceptRole);
  box->addButton(QDialogButtonBox::Cancel);
  connect(box, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(box, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(box);
  layout->setSizeConstraint(QLayout::SetFixedSize);
  ok_->setEnabled(rules_.OkEnabled());
}

void MergeDlg::SetPath(int id, std::string& slot, const QString& path) {
  slot = path.toStdString();
  buttons_[id]->setText(path.isEmpty() ? QString(kNoFileCaption) : path);
  buttons_[id]->setToolTip(path);
  if (!path.isEmpty()) folder_ = QFileInfo(path).absolutePath();
  ok_->setEnabled(rules_.OkEnabled());
}

void MergeDlg::SetAnimation(const QString& path) {
  SetPath(kAnimationButton, rules_.animationPath, path);
}
void MergeDlg::SetSound(const QString& path) {
  SetPath(kSoundButton, rules_.soundPath, path);
}
void MergeDlg::SetOutput(const QString& path) {
  SetPath(kOutputButton, rules_.outputPath, path);
}

void MergeDlg::Pick(int id) {
  const MergeDialogTexts& texts = MergeTexts(rules_.form);
  if (id == kOutputButton) {
    QString path = chooser_.ChooseSaveFile(this, texts.outputPrompt, folder_, texts.outputFilter,
                                           texts.outputExtension);
    if (!path.isEmpty()) SetOutput(path);
    return;
  }
  const bool animation = id == kAnimationButton;
  QStringList files =
      chooser_.ChooseOpenFiles(this, animation ? texts.animationPrompt : texts.soundPrompt, folder_,
                               animation ? texts.animationFilter : texts.soundFilter, false);
  if (files.isEmpty()) return;
  if (animation)
    SetAnimation(files.first());
  else
    SetSound(files.first());
}

}  // namespace quendrolix::app
