#include "image_processor_dlg.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QStandardItemModel>
#include <QVBoxLayout>
#include <filesystem>

#include "platform/host/user_prompts.h"
#include "project/edited_pictures.h"
#include "project/framewright_doc.h"

namespace quendrolix::app {
namespace {

using edit::EditKind;

struct Choice {
  const char* text;
  EditKind kind;
  int page;  // 0 none, 1 size, 2 brightness and contrast
};
const Choice kChoices[] = {
    {"Rotate 90", EditKind::kRotate90, 0},
    {"Rotate 180", EditKind::kRotate180, 0},
    {"Rotate 270", EditKind::kRotate270, 0},
    {"Flip Horizontal", EditKind::kFlipHorizontal, 0},
    {"Flip Vertical", EditKind::kFlipVertical, 0},
    {"Greyscale", EditKind::kGreyscale, 0},
    {"Brightness/Contrast", EditKind::kBrightnessContrast, 2},
    {"Resize", EditKind::kResize, 1},
    {"Fit to the project's output size", EditKind::kFitToOutputSize, 0},
};

}  // namespace

ImageProcessorDlg::ImageProcessorDlg(bool hasSelection, const QString& folder, FolderPicker picker,
                                     QWidget* parent, const OutputFormat& output)
    : QDialog(parent), picker_(std::move(picker)), output_(output) {
  setWindowTitle("Image Processor");
  setObjectName("imageProcessorDialog");

  operation_ = new QComboBox(this);
  operation_->setObjectName("operation");
  for (const Choice& choice : kChoices)
    operation_->addItem(choice.text, static_cast<int>(choice.kind));
  // The fit needs the project's output frame: without a size it is shown, not offered.
  if (auto* items = qobject_cast<QStandardItemModel*>(operation_->model())) {
    QStandardItem* fit = items->item(operation_->count() - 1);
    if (output.HasSize()) {
      fit->setText(QString("Fit to the project's output size (%1x%2, %3)")
                       .arg(output.width)
                       .arg(output.height)
                       .arg(PictureFitName(output.fit)));
    } else {
      fit->setEnabled(false);
      fit->setToolTip("The project has no output size: its pictures keep the first one's size");
    }
  }

  parameters_ = new QStackedWidget(this);
  parameters_->addWidget(new QWidget(parameters_));
  auto* sizePage = new QWidget(parameters_);
  width_ = new SpinEdit(1, edit::kMaxSide, sizePage);
  height_ = new SpinEdit(1, edit::kMaxSide, sizePage);
  width_->setValue(640);
  height_->setValue(480);
  keep_ = new QCheckBox("&Keep proportions (fit inside this size)", sizePage);
  keep_->setChecked(true);
  auto* sizeForm = new QFormLayout(sizePage);
  sizeForm->setContentsMargins(0, 0, 0, 0);
  sizeForm->addRow("&Width:", width_);
  sizeForm->addRow("&Height:", height_);
  sizeForm->addRow(keep_);
  parameters_->addWidget(sizePage);
  auto* adjustPage = new QWidget(parameters_);
  brightness_ = new SpinEdit(edit::kMinAdjust, edit::kMaxAdjust, adjustPage);
  contrast_ = new SpinEdit(edit::kMinAdjust, edit::kMaxAdjust, adjustPage);
  auto* adjustForm = new QFormLayout(adjustPage);
  adjustForm->setContentsMargins(0, 0, 0, 0);
  adjustForm->addRow("&Brightness:", brightness_);
  adjustForm->addRow("&Contrast:", contrast_);
  parameters_->addWidget(adjustPage);

  auto* scope = new QGroupBox("Pictures", this);
  selected_ = new QRadioButton("The &selected picture", scope);
  all_ = new QRadioButton("&All pictures in the list", scope);
  selected_->setEnabled(hasSelection);
  (hasSelection ? selected_ : all_)->setChecked(true);
  auto* scopeLayout = new QVBoxLayout(scope);
  scopeLayout->addWidget(selected_);
  scopeLayout->addWidget(all_);

  auto* folderBox = new QGroupBox("Write the changed copies into", this);
  folder_ = new QLineEdit(folder, folderBox);
  folder_->setObjectName("folder");
  auto* browse = new QPushButton("Browse...", folderBox);
  browse->setAutoDefault(false);
  connect(browse, &QPushButton::clicked, this, [this] {
    QString chosen =
        picker_ ? picker_(this, "Select the folder for the copies", Folder()) : QString();
    if (!chosen.isEmpty()) folder_->setText(chosen);
  });
  auto* folderRow = new QHBoxLayout(folderBox);
  folderRow->addWidget(folder_, 1);
  folderRow->addWidget(browse);

  auto* buttons = new QDialogButtonBox(this);
  process_ = buttons->addButton("&Process", QDialogButtonBox::AcceptRole);
  process_->setObjectName("processButton");
  buttons->addButton(QDialogButtonBox::Cancel);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  auto* form = new QFormLayout;
  form->addRow("&Operation:", operation_);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(parameters_);
  layout->addWidget(scope);
  layout->addWidget(folderBox);
  layout->addStretch(1);
  layout->addWidget(buttons);

  connect(operation_, &QComboBox::currentIndexChanged, this, &ImageProcessorDlg::UpdateState);
  connect(folder_, &QLineEdit::textChanged, this, &ImageProcessorDlg::UpdateState);
  UpdateState();
}

void ImageProcessorDlg::UpdateState() {
  int index = operation_->currentIndex();
  int page = index >= 0 ? kChoices[index].page : 0;
  parameters_->setCurrentIndex(page);
  // Operations without values leave no gap.
  parameters_->setVisible(page != 0);
  if (isVisible()) adjustSize();
  process_->setEnabled(!Folder().isEmpty());
}

edit::EditOperation ImageProcessorDlg::Operation() const {
  edit::EditOperation operation{kChoices[std::max(operation_->currentIndex(), 0)].kind};
  operation.width = width_->value();
  operation.height = height_->value();
  operation.keepProportions = keep_->isChecked();
  operation.brightness = brightness_->value();
  operation.contrast = contrast_->value();
  if (operation.kind == EditKind::kFitToOutputSize) {
    operation.width = output_.width;
    operation.height = output_.height;
    switch (output_.fit) {
      case PictureFit::kLetterbox:
        operation.fit = edit::FrameFit::kLetterbox;
        break;
      case PictureFit::kCrop:
        operation.fit = edit::FrameFit::kCrop;
        break;
      case PictureFit::kStretch:
        operation.fit = edit::FrameFit::kStretch;
        break;
      case PictureFit::kNone:
        operation.fit = edit::FrameFit::kNone;
        break;
    }
  }
  return operation;
}

ProcessorOutcome ProcessProjectPictures(CFramewrightDoc& doc, const edit::EditOperation& operation,
                                        bool allPictures, const std::string& folder,
                                        const std::function<void(const QString&)>& status) {
  ProcessorOutcome outcome;
  edit::ProcessorRequest request;
  request.operation = operation;
  request.folder = folder;
  const FrameList& list = doc.list();
  for (int row = 1; row <= list.EntryCount(); ++row) {
    if (!allPictures && row != list.FocusRow()) continue;
    std::string path = doc.LookUpPath(list.Cell(row, FrameList::kNameColumn));
    if (path.empty()) {
      outcome.failed.push_back(
          {list.Cell(row, FrameList::kNameColumn), {}, "no file is known for it"});
      continue;
    }
    request.pictures.push_back(path);
  }
  std::vector<edit::PlannedCopy> plan = edit::PlanCopies(request);
  bool any = false;
  for (const auto& planned : plan) any = any || planned.exists;
  if (any)
    request.replaceExisting =
        Prompts().AskYesNo("Some of the copies are already in " + folder + ". Replace them?");
  auto results =
      edit::ProcessPictures(request, [&](size_t index, size_t total, const std::string& picture) {
        if (status && !picture.empty())
          status(QString("Processing %1 (%2 of %3)...")
                     .arg(QString::fromStdString(DisplayNameOf(picture)))
                     .arg(index + 1)
                     .arg(total));
      });
  for (const auto& result : results) {
    if (result.copy.empty()) {
      outcome.failed.push_back(result);
      continue;
    }
    UseEditedCopy(doc, result.source, result.copy);
    ++outcome.written;
  }
  if (!outcome.failed.empty()) {
    std::string text = "These pictures were not processed:\n";
    for (const auto& failure : outcome.failed) text += "\n" + failure.source + ": " + failure.error;
    Prompts().ShowMessage(text, {}, PromptIcon::kWarning);
  }
  return outcome;
}

ProcessorOutcome RunImageProcessor(QWidget* parent, CFramewrightDoc& doc, FolderPicker picker,
                                   const std::function<void(const QString&)>& status) {
  const FrameList& list = doc.list();
  bool hasSelection = list.FocusRow() >= 1 && list.FocusRow() <= list.EntryCount();
  std::string folder;
  doc.store().GetString("Image Processor", "Dir", folder);
  if (folder.empty()) {
    std::string first = list.EntryCount() >= 1 ? doc.LookUpPath(list.Cell(1, 0)) : std::string();
    std::filesystem::path base = first.empty() ? std::filesystem::current_path()
                                               : std::filesystem::path(first).parent_path();
    folder = (base / "Processed").string();
  }
  ImageProcessorDlg dialog(hasSelection, QString::fromStdString(folder), std::move(picker), parent,
                           doc.output);
  if (dialog.exec() != QDialog::Accepted) return {};
  doc.store().SetString("Image Processor", "Dir", dialog.Folder().toStdString());
  return ProcessProjectPictures(doc, dialog.Operation(), dialog.AllPictures(),
                                dialog.Folder().toStdString(), status);
}

}  // namespace quendrolix::app
