#pragma once

#include <QIcon>

namespace quendrolix::app {

// Pictures of the image editor's toolbar, drawn at run time: an ImageEditor::Command.
// Commands without a picture give a null icon.
QIcon EditorIcon(int command);

}  // namespace quendrolix::app
