#pragma once

namespace quendrolix::app {

class CFramewrightApp;
class CMainFrame;

// Wires the image editor (its toggle, its toolbar and menus in place of the main ones),
// the image processor, the web site item and the list's marks for missing pictures into
// the main window.
void WireDeskCommands(CMainFrame& frame, CFramewrightApp& app);

}  // namespace quendrolix::app
