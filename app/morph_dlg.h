#pragma once

#include <QButtonGroup>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>

#include "file_chooser.h"
#include "folder_picker.h"
#include "tools/morph_dialog.h"

namespace quendrolix::app {

// "Morphing": the widgets over MorphDialog. The picture buttons and the folder button show
// their choice as the caption; "&Morph" closes the dialog only when the rules accept.
class MorphDlg : public QDialog {
  Q_OBJECT

 public:
  MorphDlg(MorphDialog rules, SettingsStore& store, FileChooser& chooser,
           const QString& imageFolder, QWidget* parent = nullptr);

  static constexpr int kSourceButton = 1031;
  static constexpr int kTargetButton = 1032;
  static constexpr int kStepsEdit = 1035;
  static constexpr int kNewRadio = 1036;  // then 1037, 1038
  static constexpr int kFolderButton = 1039;
  static constexpr int kStartEdit = 1040;
  static constexpr int kTipsButton = 1042;

  QPushButton* sourceButton() const { return source_; }
  QPushButton* targetButton() const { return target_; }
  QPushButton* folderButton() const { return folder_; }
  QPushButton* morphButton() const { return morph_; }
  QPushButton* cancelButton() const { return cancel_; }
  QLineEdit* stepsEdit() const { return steps_; }
  QLineEdit* startEdit() const { return start_; }
  QButtonGroup* dispositionGroup() const { return disposition_; }
  const MorphDialog& rules() const { return rules_; }
  void SetFolderPicker(FolderPicker picker) { pickFolder_ = std::move(picker); }

  // What the picture buttons do once a file is chosen.
  void SetSource(const QString& path);
  void SetTarget(const QString& path);

  void accept() override;

 private:
  void ShowChoices();
  void PickPicture(bool source);

  MorphDialog rules_;
  SettingsStore& store_;
  FileChooser& chooser_;
  QString imageFolder_;
  FolderPicker pickFolder_;
  QPushButton* source_;
  QPushButton* target_;
  QPushButton* folder_;
  QPushButton* morph_;
  QPushButton* cancel_;
  QLineEdit* steps_;
  QLineEdit* start_;
  QButtonGroup* disposition_;
};

}  // namespace quendrolix::app
