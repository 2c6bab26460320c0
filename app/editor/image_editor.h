#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <string>

#include "image/edit/edit_history.h"

class QAction;
class QMenu;
class QToolBar;
class QWidget;

namespace quendrolix::app {

class FileChooser;
class PaintControl;

// The image editor: the paint control laid over the view, the editor's toolbar and its
// menus (Image, Rotate, Effects, Tools), the operations with undo and redo, and saving an
// edited copy. The main window shows and hides these; the editor itself never touches the
// project: it tells what it saved, and the window lets the list use the copy.
class ImageEditor : public QObject {
  Q_OBJECT

 public:
  enum Command {
    kSave,
    kSaveAs,
    kUndo,
    kRedo,
    kRotate90,
    kRotate180,
    kRotate270,
    kFlipHorizontal,
    kFlipVertical,
    kCrop,
    kResize,
    kGreyscale,
    kBrightnessContrast,
    kCommandCount
  };

  // `view`: the widget the paint control covers. `extraTools`: actions of the main window
  // that the editor's Tools menu also offers (the image processor, the editor toggle).
  ImageEditor(QWidget& view, FileChooser& chooser, QObject* parent = nullptr);
  ~ImageEditor() override;

  // Opens the picture file for editing; false (and a message) when it cannot be read.
  bool Open(const std::string& path);
  // Ends editing: unsaved changes are offered for saving first. False when the picture
  // could not be saved and the user keeps editing.
  bool Close();
  bool IsOpen() const { return !path_.empty(); }
  const std::string& path() const { return path_; }
  bool IsModified() const { return history_.IsModified(); }

  PaintControl* paintControl() const { return paint_; }
  QToolBar* toolbar() const { return toolbar_; }
  // Menu 129: Image, Rotate, Effects, Tools.
  const QList<QMenu*>& menus() const { return menus_; }
  QAction* action(Command command) const { return actions_[command]; }
  void AddToolsAction(QAction* action);
  edit::EditHistory& history() { return history_; }

  // The command bodies, also for callers that bring their own values.
  bool Apply(const edit::EditOperation& operation);
  // Writes the edited copy beside the picture (the first time) or over the copy made
  // before; SaveAs writes where it is told. The picture being edited becomes the saved file.
  bool Save();
  bool SaveAs(const QString& path);

 signals:
  // A copy of `original` was written at `copy`; the project should use it.
  void pictureSaved(const std::string& original, const std::string& copy);
  // The picture, the selection or the history changed: command states, status panes.
  void stateChanged();

 private:
  void CreateActions();
  void Run(Command command);
  void Show();
  bool WriteTo(const std::string& target);

  QWidget& view_;
  FileChooser& chooser_;
  PaintControl* paint_;
  QToolBar* toolbar_;
  QList<QMenu*> menus_;
  QMenu* toolsMenu_ = nullptr;
  QAction* actions_[kCommandCount] = {};
  edit::EditHistory history_;
  std::string path_;      // the file the picture came from (or was last saved to)
  bool ownCopy_ = false;  // path_ is a copy this editor wrote: Save may replace it
};

}  // namespace quendrolix::app
