#pragma once

#include <QButtonGroup>
#include <QCheckBox>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <functional>

#include "file_chooser.h"
#include "folder_picker.h"
#include "tools/extract_dialog.h"

namespace quendrolix::app {

// "Extract Images from AVI or Multi-page TIFF": the widgets over ExtractImagesDialog.
// "Do it!" runs the extraction through `run` and keeps the dialog open; closing it stores
// the folder choice.
class ExtractImagesDlg : public QDialog {
  Q_OBJECT

 public:
  // Runs the rules' DoIt (the frame wraps it in its busy marks and refreshes afterwards).
  using Runner = std::function<ExtractImagesDialog::Result(ExtractImagesDialog& rules)>;

  ExtractImagesDlg(ExtractImagesDialog rules, SettingsStore& store, FileChooser& chooser,
                   Runner run, QWidget* parent = nullptr);

  static constexpr int kSourceEdit = 1069;
  static constexpr int kSourceButton = 1031;
  static constexpr int kFolderEdit = 1070;
  static constexpr int kFolderButton = 1039;
  static constexpr int kAlwaysCheck = 1068;
  static constexpr int kStartEdit = 1040;
  static constexpr int kNewRadio = 1036;  // then 1037, 1038

  QLineEdit* sourceEdit() const { return source_; }
  QLineEdit* folderEdit() const { return folder_; }
  QLineEdit* startEdit() const { return start_; }
  QCheckBox* alwaysCheck() const { return always_; }
  QButtonGroup* dispositionGroup() const { return disposition_; }
  QPushButton* doItButton() const { return doIt_; }
  QPushButton* closeButton() const { return close_; }
  QPushButton* sourceButton() const { return sourceButton_; }
  QPushButton* folderButton() const { return folderButton_; }
  const ExtractImagesDialog& rules() const { return rules_; }
  void SetFolderPicker(FolderPicker picker) { pickFolder_ = std::move(picker); }

  void done(int result) override;

 private:
  void TakeWidgets();
  void OnDoIt();

  ExtractImagesDialog rules_;
  SettingsStore& store_;
  FileChooser& chooser_;
  Runner run_;
  FolderPicker pickFolder_;
  QLineEdit* source_;
  QLineEdit* folder_;
  QLineEdit* start_;
  QCheckBox* always_;
  QButtonGroup* disposition_;
  QPushButton* doIt_;
  QPushButton* close_;
  QPushButton* sourceButton_;
  QPushButton* folderButton_;
};

}  // namespace quendrolix::app
