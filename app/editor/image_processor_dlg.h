#pragma once

#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <string>
#include <vector>

#include "folder_picker.h"
#include "image/edit/image_processor.h"
#include "project/output_format.h"
#include "spin_edit.h"

class QCheckBox;

namespace quendrolix {
class CFramewrightDoc;
}

namespace quendrolix::app {

// "Image Processor": one operation for the selected picture or all pictures of the list,
// the copies written into a chosen folder.
class ImageProcessorDlg : public QDialog {
  Q_OBJECT

 public:
  // `hasSelection`: a picture is selected; `folder`: where the copies went last time;
  // `output`: the project's output frame ("Fit to the project's output size" is offered
  // only when it has a size).
  ImageProcessorDlg(bool hasSelection, const QString& folder, FolderPicker picker,
                    QWidget* parent = nullptr, const OutputFormat& output = {});

  QComboBox* operationBox() const { return operation_; }
  QRadioButton* selectedButton() const { return selected_; }
  QRadioButton* allButton() const { return all_; }
  QLineEdit* folderEdit() const { return folder_; }
  SpinEdit* widthEdit() const { return width_; }
  SpinEdit* heightEdit() const { return height_; }
  SpinEdit* brightnessEdit() const { return brightness_; }
  SpinEdit* contrastEdit() const { return contrast_; }
  QPushButton* processButton() const { return process_; }

  edit::EditOperation Operation() const;
  bool AllPictures() const { return all_->isChecked(); }
  QString Folder() const { return folder_->text().trimmed(); }

 private:
  void UpdateState();

  FolderPicker picker_;
  OutputFormat output_;
  QComboBox* operation_;
  QStackedWidget* parameters_;
  SpinEdit* width_;
  SpinEdit* height_;
  QCheckBox* keep_;
  SpinEdit* brightness_;
  SpinEdit* contrast_;
  QRadioButton* selected_;
  QRadioButton* all_;
  QLineEdit* folder_;
  QPushButton* process_;
};

// What one run of the processor did to the project.
struct ProcessorOutcome {
  int written = 0;
  std::vector<edit::ProcessedPicture> failed;
};

// The command: asks with the dialog, processes, lets the list use the copies and lists
// the pictures that failed in one message. `status` shows progress in the status bar.
ProcessorOutcome RunImageProcessor(QWidget* parent, CFramewrightDoc& doc, FolderPicker picker,
                                   const std::function<void(const QString&)>& status);
// The same after the dialog (tests and callers with their own choices).
ProcessorOutcome ProcessProjectPictures(CFramewrightDoc& doc, const edit::EditOperation& operation,
                                        bool allPictures, const std::string& folder,
                                        const std::function<void(const QString&)>& status);

}  // namespace quendrolix::app
