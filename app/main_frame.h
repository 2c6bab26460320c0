#pragma once

#include <QHash>
#include <QLabel>
#include <QMainWindow>
#include <QToolBar>

class QAction;
class QMenu;

namespace quendrolix::app {

// The main window: menus and accelerators of every command, the main and tools
// toolbars, the four-pane status bar, the image-list bar on the left and the view.
class CMainFrame : public QMainWindow {
  Q_OBJECT

 public:
  explicit CMainFrame(QWidget* parent = nullptr);

  QAction* Action(int id) const { return actions_.value(id); }
  // Pane 0 of the status bar, repainted at once.
  void SetStatusText(const QString& text);
  // Panes 1 and 2: number of images ("%4d") and picture size ("%4dx%-4d").
  void SetImageCount(int count);
  void SetPictureSize(int width, int height);
  QString PaneText(int pane) const;

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;

 private:
  void CreateActions();
  void CreateMenus();
  void CreateToolbars();
  void CreateStatusBar();
  void OnCommand(int id);
  void UpdateNumLock(quint32 nativeModifiers);

  QHash<int, QAction*> actions_;
  QToolBar* mainToolbar_ = nullptr;
  QToolBar* toolsToolbar_ = nullptr;
  QLabel* panes_[4] = {};
};

}  // namespace quendrolix::app
