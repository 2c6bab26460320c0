#pragma once

#include <QString>
#include <functional>

class QWidget;

namespace quendrolix::app {

// The folder browser the image tools' dialogs open; tests put their own answer in place.
using FolderPicker =
    std::function<QString(QWidget* parent, const QString& title, const QString& start)>;
// The desktop's folder dialog.
FolderPicker SystemFolderPicker();

}  // namespace quendrolix::app
