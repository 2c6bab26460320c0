#pragma once

#include <QString>
#include <QStringList>

class QWidget;

namespace quendrolix::app {

// The file dialogs the commands ask. Commands go through this seam so that tests can
// answer for the user; the program uses DialogFileChooser.
class FileChooser {
 public:
  virtual ~FileChooser() = default;
  // Existing files to open, starting in `folder`; empty when cancelled. `filter` is in
  // the "Description|*.a;*.b|...||" form of the program's filter strings.
  virtual QStringList ChooseOpenFiles(QWidget* parent, const QString& title, const QString& folder,
                                      const QString& filter, bool multiple) = 0;
  // As ChooseOpenFiles, for images: the program's dialog shows the "Preview" panel.
  virtual QStringList ChooseImageFiles(QWidget* parent, const QString& title, const QString& folder,
                                       const QString& filter, bool multiple) {
    return ChooseOpenFiles(parent, title, folder, filter, multiple);
  }
  // A file to write, starting at `start` (a folder or a file); `defaultSuffix` is added
  // to a name typed without one. Empty when cancelled.
  virtual QString ChooseSaveFile(QWidget* parent, const QString& title, const QString& start,
                                 const QString& filter, const QString& defaultSuffix) = 0;
};

class DialogFileChooser : public FileChooser {
 public:
  QStringList ChooseOpenFiles(QWidget* parent, const QString& title, const QString& folder,
                              const QString& filter, bool multiple) override;
  QStringList ChooseImageFiles(QWidget* parent, const QString& title, const QString& folder,
                               const QString& filter, bool multiple) override;
  QString ChooseSaveFile(QWidget* parent, const QString& title, const QString& start,
                         const QString& filter, const QString& defaultSuffix) override;
};

// "Images (bmp,...)|*.bmp;*.jpg||" as Qt's "Images (bmp,...) (*.bmp *.BMP *.jpg *.JPG)".
// Patterns are matched case-sensitively here, so each gets its upper-case twin.
QString QtFileFilter(const QString& filter);

// `path` with ".suffix" added when its file name has no extension.
QString WithDefaultSuffix(const QString& path, const QString& suffix);

}  // namespace quendrolix::app
