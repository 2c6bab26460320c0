#pragma once

#include <QIcon>

namespace quendrolix::app {

// Toolbar and list-bar pictures, drawn at run time: a command id of the command table or
// a list-bar id. Ids without a picture give a null icon.
QIcon CommandIcon(int id);

}  // namespace quendrolix::app
