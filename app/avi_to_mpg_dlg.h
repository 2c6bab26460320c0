#pragma once

#include <QDialog>
#include <QPushButton>
#include <QRadioButton>

#include "file_chooser.h"
#include "mpeg/options/avi_to_mpg.h"
#include "project/settings_store.h"

namespace quendrolix::app {

// "Convert AVI to MPG": the AVI files (Step 1), the output folder (Step 2) and the
// extension, bound to the core's AviToMpgRequest. "&Do it!" accepts.
class AviToMpgDlg : public QDialog {
  Q_OBJECT

 public:
  AviToMpgDlg(FileChooser& chooser, DialogFolders& folders, QWidget* parent = nullptr);

  // The request with what the widgets hold now.
  AviToMpgRequest Request() const;

  // What the two buttons do once the user has chosen.
  void FilesChosen(const QStringList& files);
  void FolderChosen(const QString& folder);

  QPushButton* inputButton() const { return input_; }
  QPushButton* outputButton() const { return output_; }
  QRadioButton* extensionButton(AviToMpgRequest::Extension which) const {
    return which == AviToMpgRequest::kMpg ? mpg_ : mpeg_;
  }
  QPushButton* doItButton() const { return doIt_; }

  static constexpr const char* kInputFilter = "Video Files (*.avi)|*.avi||";

 private:
  mutable AviToMpgRequest request_;
  FileChooser& chooser_;
  DialogFolders& folders_;
  QPushButton* input_;
  QPushButton* output_;
  QRadioButton* mpg_;
  QRadioButton* mpeg_;
  QPushButton* doIt_;
};

}  // namespace quendrolix::app
