#pragma once

#include <QHash>
#include <QLabel>
#include <QMainWindow>
#include <QPointer>
#include <QTimer>
#include <QToolBar>
#include <functional>
#include <memory>
#include <optional>

#include "mpeg/options/avi_to_mpg.h"
#include "platform/host/conversion_log.h"
#include "platform/sound/sound_backend.h"
#include "project/framewright_doc.h"
#include "project/startup_sequence.h"
#include "tools/quick_create.h"

class QAction;
class QMenu;

namespace quendrolix {
class Mp3CommandHost;
}

namespace quendrolix::app {

class CFramewrightApp;
class CFramewrightView;
class ConversionLogWindow;
class ImageListBar;
class PlaybackWindow;
class ScopedQtClipboard;

// What a command does and when it is offered. A command without a handler stays in the
// menus and toolbars, disabled, until its engine is wired in with CMainFrame::Wire.
struct CommandHandler {
  std::function<void()> run = {};
  std::function<bool()> enabled = {};  // unset: always enabled
  std::function<bool()> checked = {};  // unset: the item shows no check mark
};

// The main window: menus and accelerators of every command, the main and tools toolbars,
// the four-pane status bar, the image-list bar on the left and the view in the middle.
class CMainFrame : public QMainWindow, public DocumentListener {
  Q_OBJECT

 public:
  explicit CMainFrame(CFramewrightApp& app, QWidget* parent = nullptr);
  ~CMainFrame() override;

  QAction* Action(int id) const { return actions_.value(id); }
  ImageListBar* listBar() const { return listBar_; }
  CFramewrightView* view() const { return view_; }
  QToolBar* mainToolbar() const { return mainToolbar_; }
  QToolBar* toolsToolbar() const { return toolsToolbar_; }
  // The "Progress" window; it is the process's conversion log while the frame lives.
  ConversionLogWindow* conversionLog() const { return log_; }
  QTimer* autoPasteTimer() const { return autoPasteTimer_; }

  // Conversions run to their end inside their command, reporting as they go. While one
  // runs the log is marked busy and every command is refused, so that none starts inside
  // another. Calls nest.
  void BeginConversion();
  void EndConversion();
  bool conversionRunning() const { return conversions_ > 0; }
  // The most recent output file, kept by the frame and shown by the log window.
  void RememberOutputFile(const std::string& path);

  // Where the recorder gets its sound device; unset, the desktop's sound system.
  using SoundBackendFactory = std::function<std::unique_ptr<SoundBackend>()>;
  void SetSoundBackendFactory(SoundBackendFactory factory) { soundBackends_ = std::move(factory); }

  // Gives command `id` its body and its enabled and checked rules.
  void Wire(int id, CommandHandler handler);
  // Runs a command as its menu item would (nothing when it is disabled).
  void RunCommand(int id);
  // Brings every command's enabled and checked state, the status panes and the window
  // title up to date. Called after every change that can affect them.
  void UpdateCommandUi();

  // Pane 0 of the status bar, repainted at once.
  void SetStatusText(const QString& text);
  QString PaneText(int pane) const;

  // The start-up sequence's steps that belong to the window and to the engines.
  StartupHooks MakeStartupHooks();
  // The unattended build that "Auto" in the settings asks for.
  void BuildBatch();
  // The document was filled or renamed: title, list, commands.
  void OnDocumentChanged();
  void RebuildRecentFileMenu();

  // Command bodies that take their file instead of asking for it.
  bool SaveDocumentAs(const QString& path);
  // "Save Project": to the project's file, or through Save As for a new project. True
  // when the project was written.
  bool SaveDocument();
  void ImportFiles(const QStringList& files);
  // Paste (auto flag 0) or one automatic paste (1): the new row, or 0 when nothing was
  // added.
  int Paste(bool autoPaste);
  void Copy();
  void Cut();
  // "WAV -> MP2" after its dialog: an MP2 beside each source.
  void ConvertToMp2(const QStringList& files);

  // Production commands after their dialogs.
  // Create into `path`: AVI, MPG or GIF by its name; a GIF name first opens the GIF
  // options when they ask for it (nothing when they are cancelled). The result is played.
  std::optional<BuildResult> CreateOutput(const QString& path);
  BuildResult QuickCreateFrom(const QuickCreateRequest& request);
  // "AVI -> MPG" after its dialog: one MPG per AVI.
  void ConvertAvisToMpg(const AviToMpgRequest& request);
  // What the builds need of the window: the last output file, the player, the log.
  BuildEnvironment MakeBuildEnvironment();
  // Closes the player window if one is open and opens a new one on `path`. Without a
  // multimedia backend it says so and opens nothing.
  void PlayAnimation(const QString& path);
  PlaybackWindow* playbackWindow() const;

  // DocumentListener
  void SoundChanged(const std::string& soundFile) override;
  void RepaintView() override;
  void ProjectCleared() override;

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  // The window (main_frame.cpp).
  void CreateActions();
  void CreateMenus();
  void CreateToolbars();
  void CreateStatusBar();
  void CreateListBarAndView();
  void CreateConversionTools();
  // Every command id gets its handler here, in one place.
  void WireCommands();
  void UpdateStatusPanes();
  void UpdateNumLock(quint32 nativeModifiers);
  // Runs `work` with the frame marked busy.
  template <typename Work>
  auto Busy(Work&& work) {
    BeginConversion();
    struct End {
      CMainFrame& frame;
      ~End() { frame.EndConversion(); }
    } end{*this};
    return work();
  }

  // Project and list (main_frame_project.cpp).
  void OnNewProject();
  bool OnFileSaveAs();
  // Whatever the list or the sound went through since the last step becomes one step of
  // undo, once the event that changed it is over.
  void ScheduleCheckpoint();
  bool checkpointScheduled_ = false;
  void OnImport();
  void OnAttachSound();
  void OnListBarButton(int id);
  void OnAutoPaste();

  // Production (main_frame_production.cpp).
  void CreateProductionServices();
  void OnCreate();
  void OnQuickCreate();
  void OnViewAnimation();
  void OnAviCodec();
  void OnLogo();
  void OnMpgOutputSettings();
  void OnAviToMpg();

  // Media tools (main_frame_media.cpp).
  void OnQuickImageExtractor();
  void OnQuickSoundExtractor();
  void OnExtractImages();
  void OnJoinAvis();
  void OnMergeAviSound();
  void OnMergeMpg();
  void OnTiffConverter();
  void OnMorphing();
  void OnWavToMp2();
  void OnWavToMp3();
  void OnRecorder();
  Mp3CommandHost* Mp3Host();

  // View, options and help (main_frame_view.cpp).
  void OnAviOutputSettings();
  void OnOutputSize();
  void OnFrameReplication();
  void OnScreenBackground();
  void OnFrameImages();
  void OnAbout();

  CFramewrightApp& app_;
  CFramewrightDoc& doc_;
  QHash<int, QAction*> actions_;
  QHash<int, CommandHandler> handlers_;
  QMenu* fileMenu_ = nullptr;
  QAction* recentMarker_ = nullptr;
  QList<QAction*> recentActions_;
  QToolBar* mainToolbar_ = nullptr;
  QToolBar* toolsToolbar_ = nullptr;
  QLabel* panes_[4] = {};
  ImageListBar* listBar_ = nullptr;
  CFramewrightView* view_ = nullptr;
  int shownImageCount_ = -1;
  QSize shownPictureSize_{-1, -1};
  ConversionLogWindow* log_ = nullptr;
  ConversionLog* previousLog_ = nullptr;
  std::unique_ptr<ScopedQtClipboard> clipboard_;
  std::unique_ptr<Mp3CommandHost> mp3Host_;
  QTimer* autoPasteTimer_ = nullptr;
  int conversions_ = 0;
  SoundBackendFactory soundBackends_;
  std::unique_ptr<PlaybackRequest> playback_;
  QPointer<PlaybackWindow> player_;
};

}  // namespace quendrolix::app
