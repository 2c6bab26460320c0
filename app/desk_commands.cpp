#include "desk_commands.h"

#include <QAction>
#include <QCloseEvent>
#include <QMenuBar>
#include <QToolBar>

#include "command_table.h"
#include "editor/image_editor.h"
#include "editor/image_processor_dlg.h"
#include "editor/paint_control.h"
#include "framewright_app.h"
#include "framewright_view.h"
#include "help_topics.h"
#include "image_list_bar.h"
#include "main_frame.h"
#include "project/edited_pictures.h"

namespace quendrolix::app {
namespace {

// The editor's side of the main window: turning it on and off, and the project following
// what it saves.
class EditorSwitch : public QObject {
 public:
  EditorSwitch(CMainFrame& frame, CFramewrightApp& app)
      : QObject(&frame), frame_(frame), doc_(app.doc()) {
    setObjectName("editorSwitch");
    editor_ = new ImageEditor(*frame.view(), app.fileChooser(), this);
    editor_->setObjectName("imageEditor");
    // A row of its own, so that the editor's buttons show in full beside the others.
    frame.addToolBarBreak(Qt::TopToolBarArea);
    frame.addToolBar(Qt::TopToolBarArea, editor_->toolbar());
    editor_->toolbar()->hide();
    for (QMenu* menu : editor_->menus()) {
      QAction* entry = frame.menuBar()->addMenu(menu);
      entry->setVisible(false);
      editorMenus_ << entry;
    }
    editor_->AddToolsAction(frame.Action(kIdImageProcessor));
    editor_->AddToolsAction(frame.Action(kIdImageEditor));
    connect(editor_, &ImageEditor::pictureSaved, this,
            [this](const std::string& original, const std::string& copy) {
              UseEditedCopy(doc_, original, copy);
              frame_.view()->ReloadPicture();
              frame_.UpdateCommandUi();
            });
    connect(editor_, &ImageEditor::stateChanged, &frame_, &CMainFrame::UpdateCommandUi);
    frame.installEventFilter(this);
  }

  bool IsOn() const { return on_; }

  void Toggle() {
    if (on_)
      TurnOff();
    else
      TurnOn();
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    // Closing the window with an edited picture offers to save it first.
    if (watched == &frame_ && event->type() == QEvent::Close && on_ && !TurnOff()) {
      event->ignore();
      return true;
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  void TurnOn() {
    if (!editor_->Open(doc_.SelectedImagePath())) return;
    on_ = true;
    frame_.listBar()->hide();
    frame_.view()->SetEditorOn(true);
    editor_->toolbar()->show();
    SwapMenus(true);
    frame_.UpdateCommandUi();
  }

  bool TurnOff() {
    if (!editor_->Close()) return false;
    on_ = false;
    editor_->toolbar()->hide();
    frame_.listBar()->show();
    frame_.view()->SetEditorOn(false);
    SwapMenus(false);
    frame_.UpdateCommandUi();
    return true;
  }

  // The editor's menus stand in for the main ones while it is on.
  void SwapMenus(bool editing) {
    for (QAction* entry : frame_.menuBar()->actions())
      entry->setVisible(editorMenus_.contains(entry) == editing);
  }

  CMainFrame& frame_;
  CFramewrightDoc& doc_;
  ImageEditor* editor_;
  QList<QAction*> editorMenus_;
  bool on_ = false;
};

}  // namespace

DeskCommands MakeDeskCommands(CMainFrame& frame, CFramewrightApp& app) {
  CFramewrightDoc& doc = app.doc();
  frame.listBar()->model()->SetPathLookup(
      [&doc](const std::string& name) { return doc.LookUpPath(name); });

  auto* editor = new EditorSwitch(frame, app);
  DeskCommands commands;
  commands.imageEditor = {
      [editor] { editor->Toggle(); },
      [editor, &doc] { return editor->IsOn() || !doc.SelectedImagePath().empty(); },
      [editor] { return editor->IsOn(); }};
  commands.imageProcessor = {[&frame, &doc] {
                               RunImageProcessor(
                                   &frame, doc, SystemFolderPicker(),
                                   [&frame](const QString& text) { frame.SetStatusText(text); });
                               frame.view()->ReloadPicture();
                               frame.OnDocumentChanged();
                             },
                             [&doc] { return doc.list().EntryCount() >= 1; }};
  commands.webSite = {[] { OpenManualInBrowser(); }};
  return commands;
}

}  // namespace quendrolix::app
