#include "image_editor.h"

#include <QAction>
#include <QEvent>
#include <QFileInfo>
#include <QMenu>
#include <QStyle>
#include <QToolBar>
#include <filesystem>

#include "editor_dialogs.h"
#include "editor_icons.h"
#include "file_chooser.h"
#include "image/cbmp.h"
#include "image/edit/edited_copy.h"
#include "paint_control.h"
#include "platform/host/user_prompts.h"

namespace quendrolix::app {
namespace {

const QString kSaveFilter = QStringLiteral(
    "PNG Files (*.png)|*.png|JPEG Files (*.jpg)|*.jpg;*.jpeg|Bitmap Files (*.bmp)|*.bmp|"
    "TIFF Files (*.tif)|*.tif;*.tiff|PCX Files (*.pcx)|*.pcx||");

// Keeps the paint control over the whole of the view.
class CoverFilter : public QObject {
 public:
  CoverFilter(QWidget* cover, QObject* parent) : QObject(parent), cover_(cover) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Resize)
      cover_->setGeometry(static_cast<QWidget*>(watched)->rect());
    return false;
  }

 private:
  QWidget* cover_;
};

}  // namespace

ImageEditor::ImageEditor(QWidget& view, FileChooser& chooser, QObject* parent)
    : QObject(parent), view_(view), chooser_(chooser) {
  paint_ = new PaintControl(&view);
  paint_->setGeometry(view.rect());
  paint_->hide();
  view.installEventFilter(new CoverFilter(paint_, this));
  connect(paint_, &PaintControl::selectionChanged, this, &ImageEditor::stateChanged);

  toolbar_ = new QToolBar("Image Editor");
  toolbar_->setObjectName("editorToolbar");
  toolbar_->setIconSize(QSize(24, 24));
  toolbar_->hide();
  CreateActions();
  connect(this, &ImageEditor::stateChanged, this, [this] {
    bool open = IsOpen() && history_.HasPicture();
    for (int c = 0; c < kCommandCount; ++c) actions_[c]->setEnabled(open);
    actions_[kUndo]->setEnabled(open && history_.CanUndo());
    actions_[kRedo]->setEnabled(open && history_.CanRedo());
    actions_[kCrop]->setEnabled(open && !paint_->Selection().IsEmpty());
    QString undo = QString::fromStdString(history_.UndoText());
    QString redo = QString::fromStdString(history_.RedoText());
    actions_[kUndo]->setText(undo.isEmpty() ? "&Undo" : "&Undo " + undo);
    actions_[kRedo]->setText(redo.isEmpty() ? "&Redo" : "&Redo " + redo);
  });
  emit stateChanged();
}

ImageEditor::~ImageEditor() {
  // The toolbar belongs to the main window once it is added there; otherwise it is ours.
  if (!toolbar_->parent()) delete toolbar_;
  qDeleteAll(menus_);
}

void ImageEditor::CreateActions() {
  struct Spec {
    Command command;
    const char* text;
    const char* shortcut;
  };
  static const Spec kSpecs[] = {
      {kSave, "&Save", nullptr},
      {kSaveAs, "Save &As...", nullptr},
      {kUndo, "&Undo", "Ctrl+Z"},
      {kRedo, "&Redo", "Ctrl+Shift+Z"},
      {kRotate90, "Rotate &90", nullptr},
      {kRotate180, "Rotate &180", nullptr},
      {kRotate270, "Rotate &270", nullptr},
      {kFlipHorizontal, "Flip &Horizontal", nullptr},
      {kFlipVertical, "Flip &Vertical", nullptr},
      {kCrop, "&Crop to Selection", nullptr},
      {kResize, "Re&size...", nullptr},
      {kGreyscale, "&Greyscale", nullptr},
      {kBrightnessContrast, "&Brightness/Contrast...", nullptr},
  };
  for (const Spec& spec : kSpecs) {
    auto* action = new QAction(spec.text, this);
    if (spec.shortcut) action->setShortcut(QKeySequence(spec.shortcut));
    QString tip = QString(spec.text).remove('&').remove("...");
    action->setToolTip(tip);
    action->setStatusTip(tip);
    action->setData(static_cast<int>(spec.command));
    action->setIcon(EditorIcon(spec.command));
    action->setIconVisibleInMenu(false);
    connect(action, &QAction::triggered, this, [this, c = spec.command] { Run(c); });
    actions_[spec.command] = action;
  }
  actions_[kSave]->setStatusTip("Saves the edited picture as a copy beside the original");

  auto menu = [this](const char* title, std::initializer_list<int> items) {
    auto* m = new QMenu(title);
    for (int item : items) {
      if (item < 0)
        m->addSeparator();
      else
        m->addAction(actions_[item]);
    }
    menus_ << m;
    return m;
  };
  menu("&Image", {kSave, kSaveAs, -1, kUndo, kRedo, -1, kCrop, kResize});
  menu("&Rotate", {kRotate90, kRotate180, kRotate270, -1, kFlipHorizontal, kFlipVertical});
  menu("&Effects", {kGreyscale, kBrightnessContrast});
  toolsMenu_ = menu("&Tools", {});
  for (int item : std::initializer_list<int>{kSave, -1, kUndo, kRedo, -1, kRotate90, kRotate180,
                                             kRotate270, kFlipHorizontal, kFlipVertical, -1, kCrop,
                                             kResize, -1, kGreyscale, kBrightnessContrast}) {
    if (item < 0)
      toolbar_->addSeparator();
    else
      toolbar_->addAction(actions_[item]);
  }
}

void ImageEditor::AddToolsAction(QAction* action) {
  toolsMenu_->addAction(action);
  toolbar_->addSeparator();
  toolbar_->addAction(action);
}

bool ImageEditor::Open(const std::string& path) {
  CBmp picture;
  if (path.empty() || !picture.Load(path) || !picture.bitmap()) {
    std::string why = picture.loadFailure().empty() ? "it is not a picture this program reads"
                                                    : picture.loadFailure();
    Prompts().ShowMessage("Cannot open " + path + " for editing: " + why, {}, PromptIcon::kStop);
    return false;
  }
  history_.Reset(picture.bitmap());
  path_ = path;
  ownCopy_ = false;
  Show();
  paint_->show();
  paint_->raise();
  paint_->setFocus();
  return true;
}

bool ImageEditor::Close() {
  if (IsOpen() && history_.IsModified()) {
    std::string name = std::filesystem::path(path_).filename().string();
    if (Prompts().AskYesNo("Save changes to " + name + "?") && !Save()) return false;
  }
  path_.clear();
  history_.Reset(nullptr);
  paint_->SetPicture(nullptr);
  paint_->hide();
  emit stateChanged();
  return true;
}

void ImageEditor::Show() {
  paint_->SetPicture(history_.Current());
  emit stateChanged();
}

bool ImageEditor::Apply(const edit::EditOperation& operation) {
  if (!history_.Apply(operation)) return false;
  Show();
  return true;
}

void ImageEditor::Run(Command command) {
  if (!IsOpen()) return;
  using edit::EditKind;
  auto simple = [this](EditKind kind) { Apply(edit::EditOperation{kind}); };
  switch (command) {
    case kSave:
      Save();
      break;
    case kSaveAs: {
      QString start = QString::fromStdString(
          edit::WritablePictureName(ownCopy_ ? path_ : edit::EditedCopyPath(path_)));
      QString target =
          chooser_.ChooseSaveFile(paint_, "Save Picture As", start, kSaveFilter, "png");
      if (!target.isEmpty()) SaveAs(WithDefaultSuffix(target, "png"));
      break;
    }
    case kUndo:
      if (history_.Undo()) Show();
      break;
    case kRedo:
      if (history_.Redo()) Show();
      break;
    case kRotate90:
      simple(EditKind::kRotate90);
      break;
    case kRotate180:
      simple(EditKind::kRotate180);
      break;
    case kRotate270:
      simple(EditKind::kRotate270);
      break;
    case kFlipHorizontal:
      simple(EditKind::kFlipHorizontal);
      break;
    case kFlipVertical:
      simple(EditKind::kFlipVertical);
      break;
    case kCrop: {
      edit::EditOperation crop{EditKind::kCrop};
      crop.area = paint_->Selection();
      Apply(crop);
      break;
    }
    case kResize: {
      ResizeDlg dialog(paint_->pictureSize(), paint_);
      if (dialog.exec() == QDialog::Accepted) Apply(dialog.Operation());
      break;
    }
    case kGreyscale:
      simple(EditKind::kGreyscale);
      break;
    case kBrightnessContrast: {
      BrightnessContrastDlg dialog(paint_);
      if (dialog.exec() == QDialog::Accepted) Apply(dialog.Operation());
      break;
    }
    case kCommandCount:
      break;
  }
}

bool ImageEditor::Save() {
  if (!IsOpen()) return false;
  return WriteTo(ownCopy_ ? path_ : edit::EditedCopyPath(path_));
}

bool ImageEditor::SaveAs(const QString& path) {
  if (!IsOpen() || path.isEmpty()) return false;
  if (!edit::CanWritePictureAs(path.toStdString())) {
    Prompts().ShowMessage("Pictures are saved as PNG, JPEG, BMP, TIFF or PCX files.", {},
                          PromptIcon::kWarning);
    return false;
  }
  return WriteTo(QFileInfo(path).absoluteFilePath().toStdString());
}

bool ImageEditor::WriteTo(const std::string& target) {
  std::string error;
  if (!edit::SavePicture(history_.Current(), target, &error)) {
    Prompts().ShowMessage("Cannot save " + target + ": " + error, {}, PromptIcon::kStop);
    return false;
  }
  std::string original = path_;
  path_ = target;
  ownCopy_ = true;
  history_.MarkSaved();
  emit stateChanged();
  if (original != target) emit pictureSaved(original, target);
  return true;
}

}  // namespace quendrolix::app
