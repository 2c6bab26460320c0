#include "join_avis_dlg.h"

#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>

namespace quendrolix::app {
namespace {
const QString kAviFilter = QStringLiteral("AVI Files (*.avi)|*.avi||");
const QString kOutputFilter =
    QStringLiteral("AVI Files (*.avi)|*.avi|MPEG Files (*.mpg,*.mpeg)|*.mpg;*.mpeg|MP4 Files (*.mp4)|*.mp4||");
}  // namespace

JoinAvisDlg::JoinAvisDlg(FileChooser& chooser, const QString& folder, Runner run, QWidget* parent)
    : QDialog(parent), chooser_(chooser), folder_(folder), run_(std::move(run)) {
  setObjectName("joinAvisDialog");
  setWindowTitle("Join 2 AVI-s Together");
  auto* layout = new QGridLayout(this);
  const struct {
    int edit, button;
    const char* label;
  } rows[] = {{kFirstEdit, kFirstButton, "Specify the first AVI file"},
              {kSecondEdit, kSecondButton, "Specify the second AVI file"},
              {kOutputEdit, kOutputButton, "Specify the name of the output AVI file"}};
  int row = 0;
  for (const auto& r : rows) {
    layout->addWidget(new QLabel(r.label, this), row++, 0, 1, 2);
    auto* edit = new QLineEdit(this);
    edit->setObjectName(QString("edit%1").arg(r.edit));
    edit->setMinimumWidth(360);
    auto* button = new QPushButton("...", this);
    button->setObjectName(QString("button%1").arg(r.button));
    button->setAutoDefault(false);
    layout->addWidget(edit, row, 0);
    layout->addWidget(button, row++, 1);
    edits_.insert(r.edit, edit);
    buttons_.insert(r.button, button);
    connect(edit, &QLineEdit::textChanged, this, &JoinAvisDlg::UpdateDoIt);
    connect(button, &QPushButton::clicked, this, [this, id = r.edit] { Browse(id); });
  }
  auto* buttons = new QHBoxLayout;
  doIt_ = new QPushButton("&Do it!", this);
  close_ = new QPushButton("Close", this);
  doIt_->setAutoDefault(false);
  buttons->addStretch();
  buttons->addWidget(doIt_);
  buttons->addWidget(close_);
  layout->addLayout(buttons, row, 0, 1, 2);
  connect(doIt_, &QPushButton::clicked, this, [this] {
    run_(edits_[kFirstEdit]->text(), edits_[kSecondEdit]->text(), edits_[kOutputEdit]->text());
  });
  connect(close_, &QPushButton::clicked, this, &QDialog::reject);
  UpdateDoIt();
}

void JoinAvisDlg::UpdateDoIt() {
  bool ready = true;
  for (QLineEdit* edit : std::as_const(edits_)) ready = ready && !edit->text().isEmpty();
  doIt_->setEnabled(ready);
}

void JoinAvisDlg::Browse(int editId) {
  QString path;
  if (editId == kOutputEdit) {
    path = chooser_.ChooseSaveFile(this, "Specify the name of the output AVI file", folder_,
                                   kOutputFilter, "avi");
  } else {
    QStringList files = chooser_.ChooseOpenFiles(
        this, editId == kFirstEdit ? "Specify the first AVI file" : "Specify the second AVI file",
        folder_, kAviFilter, false);
    if (!files.isEmpty()) path = WithDefaultSuffix(files.first(), "avi");
  }
  if (path.isEmpty()) return;
  folder_ = QFileInfo(path).absolutePath();
  edits_[editId]->setText(path);
}

}  // namespace quendrolix::app
