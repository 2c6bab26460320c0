#pragma once

#include <QString>
#include <QStringList>
#include <memory>

#include "file_chooser.h"
#include "gui_prompts.h"
#include "project/frame_list.h"
#include "project/framewright_doc.h"
#include "project/project_history.h"
#include "project/settings_store.h"
#include "recent_file_list.h"

namespace quendrolix::app {

class CMainFrame;

inline const QString kAppTitle = QStringLiteral("Quendrolix Media Editor");
// The application's key: the title without spaces. QSettings keeps the recent-file list
// under it.
inline const QString kRegistryKey = QStringLiteral("QuendrolixMediaEditor");
inline const QString kVersion = QStringLiteral("4.0");
// File-dialog filters in the program's "Description|patterns|...||" form.
inline const QString kProjectFilter =
    QStringLiteral("Quendrolix Media Files (*.qdx)|*.qdx|All Files (*.*)|*||");
inline const QString kProjectSaveFilter = QStringLiteral("Quendrolix Media Files (*.qdx)|*.qdx||");
inline const QString kImageFilter = QStringLiteral(
    "Images (bmp,cri,dib,gif,heic,jpg,pcx,png,rle,tif,tga,webp)|*.bmp;*.dib;*.gif;*.heic;*.heif;"
    "*.jpg;*.jpeg;*.pcx;*.png;*.rle;*.tif;*.tiff;*.tga;*.cri;*.webp||");
inline const QString kWaveFilter = QStringLiteral("Wave Files (*.wav)|*.wav||");

// What the command line asks for: `quendrolix [--home DIR] [FILE]`.
struct CommandLineInfo {
  QString home;  // the program folder (--home)
  QString file;  // a project, a settings file or an image; empty: a new project
  bool helpRequested = false;
  bool versionRequested = false;
  QString helpText;

  // False with `error` set when the arguments make no sense.
  static bool Parse(const QStringList& arguments, CommandLineInfo& info, QString& error);
};

// The files among `paths` that may go into the list: pictures that decode and, unless
// `everyFile`, files not named as pictures (projects, settings files), which open their
// own way. The others are listed in one message.
QStringList KeepOnlyPictures(const QStringList& paths, bool everyFile = false);

// The application: one project document with its frame list, the remembered dialog
// folders, the recent-file list and the main window, created in that order and released
// in reverse.
class CFramewrightApp {
 public:
  // `prompts`: where messages go (tests pass a recorder); null shows message boxes.
  explicit CFramewrightApp(UserPrompts* prompts = nullptr);
  ~CFramewrightApp();
  CFramewrightApp(const CFramewrightApp&) = delete;
  CFramewrightApp& operator=(const CFramewrightApp&) = delete;

  // Start-up: the recent-file list, the main window, the command line (a file goes through
  // the document's open operation, none gives a new project), then the window is shown.
  // False when start-up fails.
  bool InitInstance(const CommandLineInfo& info);

  // The document's open operation for a file the user named (command line, a drop, Open,
  // the recent-file list). A project that was read joins the recent-file list. False when
  // the file was tried as a project and refused.
  bool OpenDocumentFile(const QString& path);
  // Several files at once (a drop, the command line): those named as pictures that do
  // not decode are listed in one message and left out; the rest open one by one. False
  // when a project among them was refused.
  bool OpenDocumentFiles(const QStringList& paths);
  // Before the project is replaced or the program ends: with unsaved changes asks "Save
  // changes to %s?"; Yes saves (Save As for a new project). False when the user cancelled
  // or the save failed: the caller then goes no further.
  bool SaveModified();
  // "Open Project...": the file dialog, then OpenDocumentFile.
  void OnFileOpen();
  // An entry of the recent-file list; one that cannot be opened leaves the list.
  void OnOpenRecentFile(int index);

  CFramewrightDoc& doc() { return doc_; }
  ProjectHistory& history() { return history_; }
  FrameList& list() { return list_; }
  DialogFolders& folders() { return folders_; }
  MainFrameState& frameState() { return frameState_; }
  RecentFileList& recentFiles() { return recent_; }
  CMainFrame* mainFrame() const { return frame_.get(); }
  FileChooser& fileChooser() { return *chooser_; }
  // Null restores the real file dialogs.
  void SetFileChooser(FileChooser* chooser) { chooser_ = chooser ? chooser : &dialogChooser_; }

 private:
  GuiPrompts guiPrompts_;
  UserPrompts* previousPrompts_;
  FrameList list_;
  CFramewrightDoc doc_;
  ProjectHistory history_{doc_};
  DialogFolders folders_;
  MainFrameState frameState_;
  RecentFileList recent_;
  DialogFileChooser dialogChooser_;
  FileChooser* chooser_ = &dialogChooser_;
  std::unique_ptr<CMainFrame> frame_;
};

}  // namespace quendrolix::app
