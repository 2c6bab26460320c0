#include "file_chooser.h"

#include <QFileDialog>
#include <QFileInfo>

#include "image_preview_widget.h"

namespace quendrolix::app {

QString QtFileFilter(const QString& filter) {
  QStringList parts = filter.split('|');
  QStringList filters;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    if (parts[i].isEmpty()) break;
    QStringList patterns;
    for (const QString& pattern : parts[i + 1].split(';', Qt::SkipEmptyParts)) {
      patterns << pattern;
      QString upper = pattern.toUpper();
      if (upper != pattern) patterns << upper;
    }
    filters << parts[i] + " (" + patterns.join(' ') + ")";
  }
  return filters.join(";;");
}

QString WithDefaultSuffix(const QString& path, const QString& suffix) {
  if (path.isEmpty() || suffix.isEmpty() || !QFileInfo(path).suffix().isEmpty()) return path;
  return path + "." + suffix;
}

QStringList DialogFileChooser::ChooseOpenFiles(QWidget* parent, const QString& title,
                                               const QString& folder, const QString& filter,
                                               bool multiple) {
  QFileDialog dialog(parent, title, folder, QtFileFilter(filter));
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(multiple ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
  if (dialog.exec() != QDialog::Accepted) return {};
  return dialog.selectedFiles();
}

QStringList DialogFileChooser::ChooseImageFiles(QWidget* parent, const QString& title,
                                                const QString& folder, const QString& filter,
                                                bool multiple) {
  PreviewFileDialog dialog(parent, title, folder, filter, multiple);
  if (dialog.exec() != QDialog::Accepted) return {};
  return dialog.selectedFiles();
}

QString DialogFileChooser::ChooseSaveFile(QWidget* parent, const QString& title,
                                          const QString& start, const QString& filter,
                                          const QString& defaultSuffix) {
  QFileDialog dialog(parent, title, start, QtFileFilter(filter));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setDefaultSuffix(defaultSuffix);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return WithDefaultSuffix(dialog.selectedFiles().first(), defaultSuffix);
}

}  // namespace quendrolix::app
