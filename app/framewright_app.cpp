#include "framewright_app.h"

#include <QCommandLineParser>
#include <QFileInfo>

#include "command_table.h"
#include "help_topics.h"
#include "main_frame.h"
#include "platform/host/program_folder.h"
#include "platform/host/user_prompts.h"
#include "project/edited_pictures.h"

namespace quendrolix::app {

bool CommandLineInfo::Parse(const QStringList& arguments, CommandLineInfo& info, QString& error) {
  QCommandLineParser parser;
  parser.setApplicationDescription(kAppTitle);
  QCommandLineOption help = parser.addHelpOption();
  QCommandLineOption version = parser.addVersionOption();
  QCommandLineOption home("home", "Program folder for settings and pasted images.", "DIR");
  parser.addOption(home);
  parser.addPositionalArgument("file", "A project, a settings file (.ini) or an image to open.",
                               "[file]");
  if (!parser.parse(arguments)) {
    error = parser.errorText();
    return false;
  }
  info.helpRequested = parser.isSet(help);
  info.versionRequested = parser.isSet(version);
  info.helpText = parser.helpText();
  info.home = parser.value(home);
  QStringList files = parser.positionalArguments();
  if (files.size() > 1) {
    error = "Only one file can be opened at start-up.";
    return false;
  }
  info.file = files.isEmpty() ? QString() : files.first();
  return true;
}

CFramewrightApp::CFramewrightApp(UserPrompts* prompts)
    : previousPrompts_(&Prompts()),
      doc_(list_, TheSettingsStore()),
      folders_(TheSettingsStore()),
      recent_(kRegistryKey, kAppTitle, kRecentFileCount) {
  SetPrompts(prompts ? prompts : &guiPrompts_);
}

CFramewrightApp::~CFramewrightApp() {
  // The window (and with it the view, which saves the settings) goes before the document.
  frame_.reset();
  SetPrompts(previousPrompts_);
}

bool CFramewrightApp::InitInstance(const CommandLineInfo& info) {
  if (!info.home.isEmpty()) ProgramFolder::SetOverride(info.home.toStdString());
  recent_.Load();
  InstallDialogHelp();

  frame_ = std::make_unique<CMainFrame>(*this);
  guiPrompts_.SetWindow(frame_.get());
  guiPrompts_.SetStatusSink([this](const QString& text) {
    if (frame_) frame_->SetStatusText(text);
  });
  doc_.SetListener(frame_.get());

  if (info.file.isEmpty()) {
    doc_.NewProject(frameState_);
    frame_->OnDocumentChanged();
  } else if (!OpenDocumentFiles({info.file})) {
    return false;
  }
  history_.Reset();

  frame_->show();
  frame_->setAcceptDrops(true);
  return true;
}

bool CFramewrightApp::OpenDocumentFile(const QString& path) {
  QString full = QFileInfo(path).absoluteFilePath();
  // A project replaces the one open: its unsaved changes are asked about first. Pictures
  // join the list and settings files only set the settings.
  const std::string name = full.toStdString();
  const bool replaces = doc_.initialised && !IsImageExtension(name) &&
                        QFileInfo(full).suffix().compare("ini", Qt::CaseInsensitive) != 0;
  if (replaces && !SaveModified()) return true;
  OpenOutcome outcome = doc_.OpenDocument(name);
  if (outcome == OpenOutcome::kProjectRead) {
    recent_.Add(full);
    history_.Reset();
  } else if (outcome == OpenOutcome::kImageImported) {
    history_.Checkpoint();
  }
  if (frame_) {
    frame_->OnDocumentChanged();
    frame_->RebuildRecentFileMenu();
  }
  return outcome != OpenOutcome::kProjectFailed;
}

bool CFramewrightApp::OpenDocumentFiles(const QStringList& paths) {
  bool opened = true;
  for (const QString& path : KeepOnlyPictures(paths)) opened = OpenDocumentFile(path) && opened;
  return opened;
}

QStringList KeepOnlyPictures(const QStringList& paths, bool everyFile) {
  QStringList kept;
  std::vector<std::string> refused;
  bool checked = false;
  for (const QString& path : paths) {
    std::string full = QFileInfo(path).absoluteFilePath().toStdString();
    if (!everyFile && !IsImageExtension(full)) {
      kept << path;
      continue;
    }
    // Large photographs take a moment each to decode: say which one is being looked at.
    Prompts().ShowStatus("Checking " + DisplayNameOf(full) + "...");
    checked = true;
    if (DecodesAsPicture(full))
      kept << path;
    else
      refused.push_back(full);
  }
  if (checked) Prompts().ShowStatus("Ready");
  if (!refused.empty())
    Prompts().ShowMessage(RefusedPicturesMessage(refused), {}, PromptIcon::kWarning);
  return kept;
}

bool CFramewrightApp::SaveModified() {
  if (!history_.IsModified()) return true;
  const std::string name = doc_.title.empty() ? std::string("Untitled") : doc_.title;
  switch (Prompts().AskYesNoCancel("Save changes to " + name + "?")) {
    case PromptAnswer::kYes:
      return frame_ && frame_->SaveDocument();
    case PromptAnswer::kNo:
      return true;
    case PromptAnswer::kCancel:
      break;
  }
  return false;
}

void CFramewrightApp::OnFileOpen() {
  QStringList files =
      chooser_->ChooseOpenFiles(frame_.get(), "Open", QString(), kProjectFilter, false);
  if (!files.isEmpty()) OpenDocumentFile(files.first());
}

void CFramewrightApp::OnOpenRecentFile(int index) {
  if (index < 0 || index >= recent_.files().size()) return;
  QString path = recent_.files()[index];
  if (!OpenDocumentFile(path)) {
    recent_.Remove(static_cast<int>(recent_.files().indexOf(path)));
    if (frame_) frame_->RebuildRecentFileMenu();
  }
}

}  // namespace quendrolix::app
