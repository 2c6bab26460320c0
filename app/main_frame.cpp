#include "main_frame.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QMenuBar>
#include <QMessageBox>
#include <QStatusBar>

#include "command_table.h"

namespace quendrolix::app {

CMainFrame::CMainFrame(QWidget* parent) : QMainWindow(parent) {
  setWindowTitle("Quendrolix Media Editor");
  resize(600, 450);
  CreateActions();
  CreateMenus();
  CreateToolbars();
  CreateStatusBar();
}

void CMainFrame::CreateActions() {
  for (const CommandSpec& spec : Commands()) {
    auto* action = new QAction(spec.text, this);
    QList<QKeySequence> keys;
    for (const QString& key : spec.shortcuts) keys << QKeySequence(key);
    action->setShortcuts(keys);
    action->setCheckable(spec.checkable);
    QString tip = spec.toolTip.isEmpty() ? QString(spec.text).remove('&') : spec.toolTip;
    action->setToolTip(tip);
    action->setStatusTip(tip);
    action->setData(spec.id);
    // Until a command's engine is wired in, it stays present and disabled.
    action->setEnabled(false);
    connect(action, &QAction::triggered, this, [this, id = spec.id] { OnCommand(id); });
    actions_.insert(spec.id, action);
  }
}

void CMainFrame::CreateMenus() {
  for (const MenuSpec& menuSpec : MainMenu()) {
    QMenu* menu = menuBar()->addMenu(menuSpec.title);
    for (int id : menuSpec.items) {
      if (id == 0)
        menu->addSeparator();
      else if (id == kIdRecentFirst)
        menu->addSeparator()->setObjectName("recentFiles");
      else if (QAction* action = actions_.value(id))
        menu->addAction(action);
    }
  }
}

void CMainFrame::CreateToolbars() {
  auto fill = [this](QToolBar* bar, const std::vector<int>& buttons) {
    bar->setMovable(true);
    bar->setAllowedAreas(Qt::AllToolBarAreas);
    for (int id : buttons) {
      if (id == 0)
        bar->addSeparator();
      else
        bar->addAction(actions_.value(id));
    }
  };
  mainToolbar_ = addToolBar("Main Toolbar");
  mainToolbar_->setObjectName("mainToolbar");
  fill(mainToolbar_, MainToolbarButtons());
  toolsToolbar_ = addToolBar("Tools");
  toolsToolbar_->setObjectName("toolsToolbar");
  fill(toolsToolbar_, ToolsToolbarButtons());
}

void CMainFrame::CreateStatusBar() {
  static const char* const kSizers[4] = {"", "0000", "0000x0000", "NUM"};
  for (int i = 0; i < 4; ++i) {
    panes_[i] = new QLabel(this);
    if (i == 0) {
      statusBar()->addWidget(panes_[i], 1);
    } else {
      panes_[i]->setMinimumWidth(panes_[i]->fontMetrics().horizontalAdvance(kSizers[i]) + 8);
      panes_[i]->setFrameShape(QFrame::Panel);
      panes_[i]->setFrameShadow(QFrame::Sunken);
      statusBar()->addPermanentWidget(panes_[i]);
    }
  }
  panes_[0]->setText("Ready");
}

void CMainFrame::SetStatusText(const QString& text) {
  panes_[0]->setText(text);
  panes_[0]->repaint();
}

void CMainFrame::SetImageCount(int count) {
  panes_[1]->setText(QString::asprintf("%4d", count));
}

void CMainFrame::SetPictureSize(int width, int height) {
  panes_[2]->setText(QString::asprintf("%4dx%-4d", width, height));
}

QString CMainFrame::PaneText(int pane) const {
  return pane >= 0 && pane < 4 ? panes_[pane]->text() : QString();
}

// X11 reports NumLock as the Mod2 bit of the native modifiers.
void CMainFrame::UpdateNumLock(quint32 nativeModifiers) {
  panes_[3]->setText((nativeModifiers & 0x10) ? "NUM" : "");
}

void CMainFrame::keyPressEvent(QKeyEvent* event) {
  UpdateNumLock(event->nativeModifiers());
  QMainWindow::keyPressEvent(event);
}

void CMainFrame::keyReleaseEvent(QKeyEvent* event) {
  UpdateNumLock(event->nativeModifiers());
  QMainWindow::keyReleaseEvent(event);
}

void CMainFrame::OnCommand(int id) {
  switch (id) {
    case kIdExit:
      close();
      break;
    case kIdAbout:
      QMessageBox::about(this, "About Quendrolix Media Editor",
                         "Quendrolix Media Editor\nVersion 4.0\n\n"
                         "Turns still images into AVI and MPG animations.");
      break;
    default:
      break;
  }
}

}  // namespace quendrolix::app
