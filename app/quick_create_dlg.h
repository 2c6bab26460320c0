#pragma once

#include <QDialog>
#include <QPushButton>

#include "file_chooser.h"
#include "tools/quick_create.h"

namespace quendrolix::app {

// "Quick AVI/MPEG Create": the folder of the images, an optional sound and, on "Create!",
// the output file. Accepted once all three are known; request() then holds them.
class QuickCreateDlg : public QDialog {
  Q_OBJECT

 public:
  QuickCreateDlg(FileChooser& chooser, const QString& importFolder, const QString& saveFolder,
                 QWidget* parent = nullptr);

  const QuickCreateRequest& request() const { return request_; }
  // What the two pickers do once the user has chosen.
  void SetFolder(const QString& folder);
  void SetSound(const QString& path);

  QPushButton* folderButton() const { return folder_; }
  QPushButton* soundButton() const { return sound_; }
  QPushButton* createButton() const { return create_; }

  static constexpr const char* kOutputFilter = "AVI Files|*.avi|MPG Files|*.mpg;*.mpeg|MP4 Files|*.mp4||";
  static constexpr const char* kSoundFilter =
      "Sound Files (*.wav, *.avi, *.mp2)|*.wav;*.avi;*.mp2||";

 private:
  void OnCreate();

  FileChooser& chooser_;
  QString importFolder_;
  QString saveFolder_;
  QuickCreateRequest request_;
  QPushButton* folder_;
  QPushButton* sound_;
  QPushButton* create_;
};

}  // namespace quendrolix::app
