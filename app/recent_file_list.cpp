#include "recent_file_list.h"

#include <QSettings>

namespace quendrolix::app {
namespace {
constexpr const char* kGroup = "Recent File List";
constexpr qsizetype kMenuWidth = 60;
}  // namespace

RecentFileList::RecentFileList(QString organisation, QString application, int size)
    : organisation_(std::move(organisation)), application_(std::move(application)), size_(size) {}

void RecentFileList::Load() {
  QSettings settings(organisation_, application_);
  settings.beginGroup(kGroup);
  files_.clear();
  for (int i = 1; i <= size_; ++i) {
    QString file = settings.value(QString("File%1").arg(i)).toString();
    if (!file.isEmpty() && !files_.contains(file)) files_ << file;
  }
}

void RecentFileList::Save() const {
  QSettings settings(organisation_, application_);
  settings.beginGroup(kGroup);
  for (int i = 1; i <= size_; ++i) {
    QString key = QString("File%1").arg(i);
    if (i <= files_.size())
      settings.setValue(key, files_[i - 1]);
    else
      settings.remove(key);
  }
}

void RecentFileList::Add(const QString& path) {
  if (path.isEmpty()) return;
  files_.removeAll(path);
  files_.prepend(path);
  while (files_.size() > size_) files_.removeLast();
  Save();
}

void RecentFileList::Remove(int index) {
  if (index < 0 || index >= files_.size()) return;
  files_.removeAt(index);
  Save();
}

QString RecentFileList::MenuText(int index) const {
  if (index < 0 || index >= files_.size()) return {};
  QString path = files_[index];
  if (path.size() > kMenuWidth)
    path = path.left(kMenuWidth / 2 - 2) + "..." + path.right(kMenuWidth / 2 - 1);
  path.replace('&', "&&");
  return QString("&%1 %2").arg(index + 1).arg(path);
}

}  // namespace quendrolix::app
