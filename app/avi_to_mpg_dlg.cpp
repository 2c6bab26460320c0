#include "avi_to_mpg_dlg.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace quendrolix::app {
namespace {

// An empty caption reads as a button to press.
QString Caption(const std::string& text) {
  return text.empty() ? QStringLiteral("Browse...") : QString::fromStdString(text);
}

}  // namespace

AviToMpgDlg::AviToMpgDlg(FileChooser& chooser, DialogFolders& folders, QWidget* parent)
    : QDialog(parent), chooser_(chooser), folders_(folders) {
  setObjectName("aviToMpgDialog");
  setWindowTitle("Convert AVI to MPG");
  input_ = new QPushButton(this);
  output_ = new QPushButton(this);
  for (QPushButton* button : {input_, output_}) {
    button->setAutoDefault(false);
    button->setMinimumSize(360, 28);
    button->setStyleSheet("text-align: left; padding: 4px 8px;");
  }
  auto* extension = new QGroupBox("Extension", this);
  mpg_ = new QRadioButton("MPG", extension);
  mpeg_ = new QRadioButton("MPEG", extension);
  mpg_->setChecked(true);
  auto* extensionLayout = new QHBoxLayout(extension);
  extensionLayout->addWidget(mpg_);
  extensionLayout->addWidget(mpeg_);
  extensionLayout->addStretch(1);

  connect(input_, &QPushButton::clicked, this, [this] {
    FilesChosen(chooser_.ChooseOpenFiles(this, "Select AVI files",
                                         QString::fromStdString(folders_.ImportFolder()),
                                         kInputFilter, true));
  });
  connect(output_, &QPushButton::clicked, this, [this] {
    QString folder = QFileDialog::getExistingDirectory(
        this, "Select MPG output folder", QString::fromStdString(request_.outputFolder));
    if (!folder.isEmpty()) FolderChosen(folder);
  });

  auto* box = new QDialogButtonBox(this);
  doIt_ = box->addButton("&Do it!", QDialogButtonBox::AcceptRole);
  box->addButton("&Cancel", QDialogButtonBox::RejectRole);
  connect(box, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(box, &QDialogButtonBox::rejected, this, &QDialog::reject);

  auto* grid = new QGridLayout;
  grid->addWidget(new QLabel("Step 1", this), 0, 0);
  grid->addWidget(input_, 0, 1);
  grid->addWidget(new QLabel("Step 2", this), 1, 0);
  grid->addWidget(output_, 1, 1);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(grid);
  layout->addWidget(extension);
  layout->addWidget(box);
  layout->setSizeConstraint(QLayout::SetFixedSize);
  input_->setText(Caption({}));
  output_->setText(Caption({}));
  doIt_->setEnabled(request_.CanStart());
}

void AviToMpgDlg::FilesChosen(const QStringList& files) {
  std::vector<std::string> chosen;
  for (const QString& file : files) chosen.push_back(WithDefaultSuffix(file, "avi").toStdString());
  request_.FilesChosen(std::move(chosen), &folders_);
  input_->setText(Caption(request_.InputCaption()));
  doIt_->setEnabled(request_.CanStart());
}

void AviToMpgDlg::FolderChosen(const QString& folder) {
  request_.FolderChosen(folder.toStdString());
  output_->setText(Caption(request_.OutputCaption()));
}

AviToMpgRequest AviToMpgDlg::Request() const {
  request_.extension = mpeg_->isChecked() ? AviToMpgRequest::kMpeg : AviToMpgRequest::kMpg;
  return request_;
}

}  // namespace quendrolix::app
