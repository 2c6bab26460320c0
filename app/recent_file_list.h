#pragma once

#include <QString>
#include <QStringList>

namespace quendrolix::app {

// The recent-file list, kept with QSettings under the application's key in group
// "Recent File List" as "File1", "File2", ...; the newest first, no name twice.
class RecentFileList {
 public:
  RecentFileList(QString organisation, QString application, int size);

  void Load();
  void Save() const;
  // Puts `path` at the top (moving it when it is already listed) and saves.
  void Add(const QString& path);
  // Takes entry `index` out (a file that could not be opened) and saves.
  void Remove(int index);
  const QStringList& files() const { return files_; }
  int size() const { return size_; }
  // "&1 path", the path shortened in the middle when it is long.
  QString MenuText(int index) const;

 private:
  QString organisation_;
  QString application_;
  int size_;
  QStringList files_;
};

}  // namespace quendrolix::app
