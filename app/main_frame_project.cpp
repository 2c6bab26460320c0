// The main frame's project and list commands: new, save, import, sound, the list bar's
// buttons and the clipboard.
#include <QFileInfo>

#include "command_table.h"
#include "framewright_app.h"
#include "framewright_view.h"
#include "image/cbmp.h"
#include "image_list_bar.h"
#include "main_frame.h"
#include "qt_clipboard.h"

namespace quendrolix::app {
namespace {

std::vector<std::string> ToStdStrings(const QStringList& list) {
  std::vector<std::string> out;
  out.reserve(static_cast<size_t>(list.size()));
  for (const QString& item : list) out.push_back(item.toStdString());
  return out;
}

}  // namespace

void CMainFrame::OnNewProject() {
  if (!app_.SaveModified()) return;
  doc_.NewProject(app_.frameState());
  app_.history().Reset();
  OnDocumentChanged();
}

void CMainFrame::OnDocumentChanged() {
  SoundChanged(doc_.soundFile());
  view_->update();
  UpdateCommandUi();
}

void CMainFrame::SoundChanged(const std::string& soundFile) {
  listBar_->SetSound(QString::fromStdString(soundFile));
  ScheduleCheckpoint();
  UpdateCommandUi();
}

void CMainFrame::RepaintView() {
  view_->update();
}

void CMainFrame::ProjectCleared() {
  view_->ReleasePicture();
}

void CMainFrame::OnListBarButton(int id) {
  switch (id) {
    case kIdMoveUp:
      doc_.Move(MoveDirection::kUp);
      break;
    case kIdMoveDown:
      doc_.Move(MoveDirection::kDown);
      break;
    case kIdMoveFirst:
      doc_.Move(MoveDirection::kFirst);
      break;
    case kIdMoveLast:
      doc_.Move(MoveDirection::kLast);
      break;
    case kIdDeleteImage:
      doc_.DeleteSelected();
      break;
    case kIdSoundButton:
      doc_.DetachSound();
      break;
    default:
      return;
  }
  app_.history().Checkpoint();
  UpdateCommandUi();
}

bool CMainFrame::SaveDocumentAs(const QString& path) {
  if (path.isEmpty()) return false;
  QString full = QFileInfo(path).absoluteFilePath();
  if (!doc_.SaveProjectFile(full.toStdString())) return false;
  app_.history().MarkSaved();
  app_.recentFiles().Add(full);
  RebuildRecentFileMenu();
  UpdateCommandUi();
  return true;
}

bool CMainFrame::SaveDocument() {
  // "Untitled" (after New) and " " (a project opened at start-up that failed) are names,
  // not files: those ask for a file as Save As does.
  QString path = QString::fromStdString(doc_.pathName);
  if (path.isEmpty() || !QFileInfo(path).isAbsolute()) return OnFileSaveAs();
  return SaveDocumentAs(path);
}

bool CMainFrame::OnFileSaveAs() {
  QString start = QString::fromStdString(doc_.pathName);
  if (start.isEmpty() || !QFileInfo(start).isAbsolute())
    start = QString::fromStdString(app_.folders().SaveFolder()) + "/" +
            QString::fromStdString(doc_.title).trimmed();
  QString path =
      app_.fileChooser().ChooseSaveFile(this, "Save As", start, kProjectSaveFilter, "qdx");
  return SaveDocumentAs(WithDefaultSuffix(path, "qdx"));
}

void CMainFrame::ImportFiles(const QStringList& files) {
  doc_.ImportChosenImages(ToStdStrings(files), app_.folders());
  view_->update();
  UpdateCommandUi();
}

void CMainFrame::OnImport() {
  QStringList files = app_.fileChooser().ChooseImageFiles(
      this, "Import Images", QString::fromStdString(app_.folders().ImportFolder()), kImageFilter,
      true);
  // Files that are not pictures are named in one message and stay out of the list.
  files = KeepOnlyPictures(files, true);
  if (!files.isEmpty()) ImportFiles(files);
}

void CMainFrame::OnAttachSound() {
  QStringList files = app_.fileChooser().ChooseOpenFiles(
      this, "Attach Sound File", QString::fromStdString(app_.folders().ImportFolder()), kWaveFilter,
      false);
  if (files.isEmpty()) return;
  QString path = WithDefaultSuffix(files.first(), "wav");
  app_.folders().RememberOpened(path.toStdString(), true);
  doc_.AttachSound(path.toStdString());
}

int CMainFrame::Paste(bool autoPaste) {
  // The picture is taken into a picture of its own: a refused one must not become the
  // view's, or the next paint would make its size the project's.
  CBmp pasted;
  if (!pasted.PasteFromClipboard(TheClipboard())) return 0;
  int width = 0, height = 0;
  pasted.GetSize(width, height);
  std::string savedAt;
  int row = doc_.Paste(width, height, autoPaste, app_.frameState(), [&](const std::string& path) {
    savedAt = path;
    if (!pasted.Save(path)) return false;
    if (autoPaste) {
      // Saved: the same picture must not be taken again at the next tick. Only now, so
      // that a picture that could not be saved is still on the clipboard.
      Clipboard& clipboard = TheClipboard();
      if (clipboard.Open()) {
        clipboard.Empty();
        clipboard.Close();
      }
    }
    return true;
  });
  if (row > 0) view_->AdoptPicture(std::move(pasted), savedAt);
  UpdateCommandUi();
  return row;
}

void CMainFrame::Copy() {
  CBmp& picture = view_->picture();
  if (picture.IsValid()) picture.CopyToClipboard(TheClipboard());
}

void CMainFrame::Cut() {
  if (!view_->picture().IsValid()) return;
  Copy();
  doc_.DeleteSelected();
}

void CMainFrame::OnAutoPaste() {
  MainFrameState& state = app_.frameState();
  state.autoPaste = !state.autoPaste;
  if (state.autoPaste)
    autoPasteTimer_->start();
  else
    autoPasteTimer_->stop();
}
}  // namespace quendrolix::app
