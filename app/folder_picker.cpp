#include "folder_picker.h"

#include <QFileDialog>

namespace quendrolix::app {

FolderPicker SystemFolderPicker() {
  return [](QWidget* parent, const QString& title, const QString& start) {
    return QFileDialog::getExistingDirectory(parent, title, start);
  };
}

}  // namespace quendrolix::app
