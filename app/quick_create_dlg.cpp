#include "quick_create_dlg.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QVBoxLayout>

namespace quendrolix::app {
namespace {
constexpr const char* kNoFolder = "Browse...";
constexpr const char* kNoSound = "(none)";
}  // namespace

QuickCreateDlg::QuickCreateDlg(FileChooser& chooser, const QString& importFolder,
                               const QString& saveFolder, QWidget* parent)
    : QDialog(parent), chooser_(chooser), importFolder_(importFolder), saveFolder_(saveFolder) {
  setObjectName("quickCreateDialog");
  setWindowTitle("Quick AVI/MPEG Create");
  folder_ = new QPushButton(kNoFolder, this);
  sound_ = new QPushButton(kNoSound, this);
  for (QPushButton* button : {folder_, sound_}) {
    button->setAutoDefault(false);
    button->setMinimumWidth(360);
    button->setStyleSheet("text-align: left; padding: 4px 8px;");
  }
  connect(folder_, &QPushButton::clicked, this, [this] {
    QString folder = QFileDialog::getExistingDirectory(
        this, "Folder of the images",
        request_.folder.empty() ? importFolder_ : QString::fromStdString(request_.folder));
    if (!folder.isEmpty()) SetFolder(folder);
  });
  connect(sound_, &QPushButton::clicked, this, [this] {
    QStringList files =
        chooser_.ChooseOpenFiles(this, "Sound file", importFolder_, kSoundFilter, false);
    if (!files.isEmpty()) SetSound(files.first());
  });
  auto* detach = new QPushButton("No sound", this);
  detach->setAutoDefault(false);
  connect(detach, &QPushButton::clicked, this, [this] { SetSound({}); });

  auto* box = new QDialogButtonBox(this);
  create_ = box->addButton("Create!", QDialogButtonBox::ActionRole);
  box->addButton(QDialogButtonBox::Cancel);
  connect(create_, &QPushButton::clicked, this, &QuickCreateDlg::OnCreate);
  connect(box, &QDialogButtonBox::rejected, this, &QDialog::reject);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel("Folder of the images (every file in it is taken, by name):", this));
  layout->addWidget(folder_);
  layout->addSpacing(6);
  layout->addWidget(new QLabel("Sound file (optional):", this));
  layout->addWidget(sound_);
  layout->addWidget(detach, 0, Qt::AlignLeft);
  layout->addWidget(box);
  layout->setSizeConstraint(QLayout::SetFixedSize);
  create_->setEnabled(false);
}

void QuickCreateDlg::SetFolder(const QString& folder) {
  request_.folder = folder.toStdString();
  folder_->setText(folder.isEmpty() ? QString(kNoFolder) : folder);
  create_->setEnabled(!folder.isEmpty());
}

void QuickCreateDlg::SetSound(const QString& path) {
  request_.soundFile = path.toStdString();
  sound_->setText(path.isEmpty() ? QString(kNoSound) : path);
  if (!path.isEmpty()) importFolder_ = QFileInfo(path).absolutePath();
}

void QuickCreateDlg::OnCreate() {
  if (request_.folder.empty()) return;
  QString output =
      chooser_.ChooseSaveFile(this, "Quick AVI/MPEG Create", saveFolder_, kOutputFilter, "avi");
  if (output.isEmpty()) return;
  request_.output = WithDefaultSuffix(output, "avi").toStdString();
  accept();
}

}  // namespace quendrolix::app
