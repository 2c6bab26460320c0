#pragma once

#include "main_frame.h"

namespace quendrolix::app {

class CFramewrightApp;

// The image editor (its paint control over the view, its toolbar, its menus in place of
// the main ones), the image processor, the web site item, and the list's marks for
// missing pictures. Made once by the main window, which wires the handlers.
struct DeskCommands {
  CommandHandler imageEditor;
  CommandHandler imageProcessor;
  CommandHandler webSite;
};
DeskCommands MakeDeskCommands(CMainFrame& frame, CFramewrightApp& app);

}  // namespace quendrolix::app
