#include "main_frame.h"

#include <QAction>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMenuBar>
#include <QMimeData>
#include <QStatusBar>
#include <QTimer>

#include "avi/avi_startup.h"
#include "command_icons.h"
#include "command_table.h"
#include "conversion_log_window.h"
#include "desk_commands.h"
#include "framewright_app.h"
#include "framewright_view.h"
#include "gif_output_settings_dlg.h"
#include "help_topics.h"
#include "image_list_bar.h"
#include "mpeg/audio/mp3/mp3_commands.h"
#include "playback_window.h"
#include "qt_clipboard.h"

namespace quendrolix::app {
namespace {

constexpr int kAutoPasteTimerMs = 400;

}  // namespace
CMainFrame::CMainFrame(CFramewrightApp& app, QWidget* parent)
    : QMainWindow(parent), app_(app), doc_(app.doc()) {
  setWindowTitle(kAppTitle);
  resize(600, 450);
  CreateActions();
  CreateMenus();
  CreateToolbars();
  CreateStatusBar();
  CreateListBarAndView();
  CreateConversionTools();
  CreateProductionServices();
  WireCommands();
  RebuildRecentFileMenu();
  UpdateCommandUi();
}

CMainFrame::~CMainFrame() {
  autoPasteTimer_->stop();
  SetConversionLog(previousLog_);
  doc_.SetListener(nullptr);
  // Children are destroyed after this object: none may call back into it then.
  for (QObject* child : findChildren<QObject*>()) disconnect(child, nullptr, this, nullptr);
  // The view saves the settings as it goes, while the document is still there.
  delete view_;
  view_ = nullptr;
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
    action->setIcon(CommandIcon(spec.id));
    action->setIconVisibleInMenu(false);
    action->setEnabled(false);
    connect(action, &QAction::triggered, this, [this, id = spec.id] { RunCommand(id); });
    actions_.insert(spec.id, action);
  }
}

void CMainFrame::CreateMenus() {
  for (const MenuSpec& menuSpec : MainMenu()) {
    QMenu* menu = menuBar()->addMenu(menuSpec.title);
    connect(menu, &QMenu::aboutToShow, this, &CMainFrame::UpdateCommandUi);
    for (int id : menuSpec.items) {
      if (id == 0) {
        menu->addSeparator();
      } else if (id == kIdRecentFirst) {
        fileMenu_ = menu;
        recentMarker_ = menu->addSeparator();
        recentMarker_->setObjectName("recentFiles");
      } else if (QAction* action = actions_.value(id)) {
        menu->addAction(action);
      }
    }
  }
}

void CMainFrame::RebuildRecentFileMenu() {
  if (!fileMenu_) return;
  for (QAction* action : recentActions_) {
    fileMenu_->removeAction(action);
    delete action;
  }
  recentActions_.clear();
  const RecentFileList& recent = app_.recentFiles();
  QList<QAction*> actions = fileMenu_->actions();
  QAction* before = nullptr;  // the item after the marker
  qsizetype marker = actions.indexOf(recentMarker_);
  if (marker >= 0 && marker + 1 < actions.size()) before = actions[marker + 1];
  if (recent.files().isEmpty()) {
    auto* none = new QAction("Recent File", this);
    none->setEnabled(false);
    recentActions_ << none;
  }
  for (int i = 0; i < recent.files().size(); ++i) {
    auto* action = new QAction(recent.MenuText(i), this);
    action->setStatusTip("Opens this project");
    action->setData(kIdRecentFirst + i);
    connect(action, &QAction::triggered, this, [this, i] { app_.OnOpenRecentFile(i); });
    recentActions_ << action;
  }
  fileMenu_->insertActions(before, recentActions_);
}

void CMainFrame::CreateToolbars() {
  auto fill = [this](QToolBar* bar, const std::vector<int>& buttons) {
    bar->setMovable(true);
    bar->setAllowedAreas(Qt::AllToolBarAreas);
    bar->setIconSize(QSize(24, 24));
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
  // On a row of its own, so that both bars show in full at the frame's first size.
  addToolBarBreak();
  toolsToolbar_ = addToolBar("Tools");
  toolsToolbar_->setObjectName("toolsToolbar");
  fill(toolsToolbar_, ToolsToolbarButtons());
  for (QToolBar* bar : {mainToolbar_, toolsToolbar_})
    connect(bar, &QToolBar::visibilityChanged, this, &CMainFrame::UpdateCommandUi);
}

void CMainFrame::CreateStatusBar() {
  static const char* const kSizers[4] = {"", "0000", "0000x0000", "NUM"};
  for (int i = 0; i < 4; ++i) {
    panes_[i] = new QLabel(this);
    panes_[i]->setObjectName(QString("pane%1").arg(i));
    if (i == 0) {
      statusBar()->addWidget(panes_[i], 1);
    } else {
      QFont fixed = panes_[i]->font();
      fixed.setStyleHint(QFont::Monospace);
      fixed.setFamily("monospace");
      panes_[i]->setFont(fixed);
      panes_[i]->setMinimumWidth(panes_[i]->fontMetrics().horizontalAdvance(kSizers[i]) + 8);
      panes_[i]->setFrameShape(QFrame::Panel);
      panes_[i]->setFrameShadow(QFrame::Sunken);
      statusBar()->addPermanentWidget(panes_[i]);
    }
  }
  panes_[0]->setText("Ready");
}

void CMainFrame::CreateListBarAndView() {
  listBar_ = new ImageListBar(doc_.list(), this);
  addDockWidget(Qt::LeftDockWidgetArea, listBar_);
  resizeDocks({listBar_}, {200}, Qt::Horizontal);
  connect(listBar_, &ImageListBar::buttonClicked, this, &CMainFrame::OnListBarButton);
  connect(listBar_, &ImageListBar::selectionChanged, this, [this](int row) {
    if (row >= 1 && doc_.list().EntryCount() >= 1) view_->update();
    UpdateCommandUi();
  });
  connect(listBar_->model(), &FrameListModel::listChanged, this, [this] {
    ScheduleCheckpoint();
    UpdateCommandUi();
  });

  view_ = new CFramewrightView(*this, doc_, app_.frameState(), this);
  view_->setObjectName("view");
  setCentralWidget(view_);
  connect(view_, &CFramewrightView::pictureChanged, this, &CMainFrame::UpdateCommandUi,
          Qt::QueuedConnection);
  // What the start-up sequence put in the project (a settings file's job) is where the
  // user's work starts: nothing to undo, nothing unsaved.
  connect(view_, &CFramewrightView::startupFinished, this, [this] {
    app_.history().Reset();
    UpdateCommandUi();
  });
  connect(view_, &CFramewrightView::startupFinished, this, &CMainFrame::OnDocumentChanged);
}

void CMainFrame::CreateConversionTools() {
  log_ = new ConversionLogWindow(this);
  previousLog_ = &CurrentConversionLog();
  SetConversionLog(log_);
  clipboard_ = std::make_unique<ScopedQtClipboard>();
  // The frame's automatic-paste timer (id 123): one paste every 400 ms while it is on.
  autoPasteTimer_ = new QTimer(this);
  autoPasteTimer_->setInterval(kAutoPasteTimerMs);
  connect(autoPasteTimer_, &QTimer::timeout, this, [this] {
    if (!conversionRunning()) Paste(true);
  });
}

void CMainFrame::BeginConversion() {
  if (conversions_++ > 0) return;
  UpdateCommandUi();  // before the busy mark lets events through
  log_->SetBusy(true);
}

void CMainFrame::EndConversion() {
  if (conversions_ == 0 || --conversions_ > 0) return;
  log_->SetBusy(false);
  UpdateCommandUi();
}

void CMainFrame::RememberOutputFile(const std::string& path) {
  app_.frameState().lastOutputFile = path;
  log_->SetFile(QString::fromStdString(path));
}

void CMainFrame::Wire(int id, CommandHandler handler) {
  handlers_.insert(id, std::move(handler));
  UpdateCommandUi();
}

void CMainFrame::RunCommand(int id) {
  if (conversionRunning()) return;
  auto found = handlers_.constFind(id);
  if (found == handlers_.constEnd() || !found->run) return;
  app_.history().Checkpoint();
  if (found->enabled && !found->enabled()) return;
  CommandHandler handler = *found;  // the body may rewire commands
  // An edit in the grid not yet taken is a step of its own, before this command's.
  app_.history().Checkpoint();
  handler.run();
  app_.history().Checkpoint();
  // Whatever a command said while it ran ("Merging...", "Checking ..."), it is done now.
  SetStatusText("Ready");
  UpdateCommandUi();
}

void CMainFrame::WireCommands() {
  auto hasImages = [this] { return doc_.list().EntryCount() >= 1; };
  auto imageSelected = [this] {
    return doc_.list().FocusRow() >= 1 && doc_.list().EntryCount() >= 1;
  };
  auto toggleBar = [this](QWidget* bar) {
    return CommandHandler{
        [bar] { bar->setVisible(bar->isHidden()); }, {}, [bar] { return !bar->isHidden(); }};
  };
  auto help = [](const char* topic) { return CommandHandler{[topic] { ShowHelpTopic(topic); }}; };

  // File
  Wire(kIdNewProject, {[this] { OnNewProject(); }});
  Wire(kIdOpenProject, {[this] { app_.OnFileOpen(); }});
  Wire(kIdSaveProject, {[this] { SaveDocument(); }, hasImages});
  Wire(kIdSaveProjectAs, {[this] { OnFileSaveAs(); }, hasImages});
  Wire(kIdImportImages, {[this] { OnImport(); }});
  Wire(kIdAttachSound, {[this] { OnAttachSound(); }});
  Wire(kIdCreate, {[this] { OnCreate(); },
                   [this] { return doc_.list().EntryCount() >= 1 || !doc_.soundFile().empty(); }});
  Wire(kIdQuickCreate, {[this] { OnQuickCreate(); }});
  Wire(kIdExit, {[this] { close(); }});
  // Edit
  // While the image editor is on, Ctrl+Z and Ctrl+Shift+Z are its own undo and redo.
  auto editorOn = [this] {
    auto editor = handlers_.constFind(kIdImageEditor);
    return editor != handlers_.constEnd() && editor->checked && editor->checked();
  };
  Wire(kIdUndo, {[this] {
                   app_.history().Undo();
                   OnDocumentChanged();
                 },
                 [this, editorOn] { return app_.history().CanUndo() && !editorOn(); }});
  Wire(kIdRedo, {[this] {
                   app_.history().Redo();
                   OnDocumentChanged();
                 },
                 [this, editorOn] { return app_.history().CanRedo() && !editorOn(); }});
  Wire(kIdCut, {[this] { Cut(); }, imageSelected});
  Wire(kIdCopy, {[this] { Copy(); }, imageSelected});
  Wire(kIdPaste, {[this] { Paste(false); }});
  Wire(kIdAutoPaste,
       {[this] { OnAutoPaste(); }, {}, [this] { return app_.frameState().autoPaste; }});
  // View
  Wire(kIdMainToolbar, toggleBar(mainToolbar_));
  Wire(kIdToolsToolbar, toggleBar(toolsToolbar_));
  Wire(kIdStatusBar, toggleBar(statusBar()));
  Wire(kIdViewAnimation, {[this] { OnViewAnimation(); }});
  // Options
  Wire(kIdAviOutputSettings, {[this] { OnAviOutputSettings(); }});
  Wire(kIdOutputSize, {[this] { OnOutputSize(); }});
  Wire(kIdAviCodec, {[this] { OnAviCodec(); }});
  Wire(kIdMpgOutputSettings, {[this] { OnMpgOutputSettings(); }});
  Wire(kIdGifOutputSettings, {[this] { GifOutputSettingsDlg::Run(this); }});
  Wire(kIdLogo, {[this] { OnLogo(); }});
  Wire(kIdFrameReplication, {[this] { OnFrameReplication(); }});
  Wire(kIdScreenBackground, {[this] { OnScreenBackground(); }});
  Wire(kIdFrameImages,
       {[this] { OnFrameImages(); }, {}, [this] { return view_->settings().frameImages != 0; }});
  // Tools
  Wire(kIdMorphing, {[this] { OnMorphing(); }});
  Wire(kIdQuickImageExtractor, {[this] { OnQuickImageExtractor(); }});
  Wire(kIdQuickSoundExtractor, {[this] { OnQuickSoundExtractor(); }});
  Wire(kIdExtractImages, {[this] { OnExtractImages(); }});
  Wire(kIdJoinAvis, {[this] { OnJoinAvis(); }});
  Wire(kIdMergeAviSound, {[this] { OnMergeAviSound(); }});
  Wire(kIdMergeMpgSound, {[this] { OnMergeMpg(); }});
  Wire(kIdAviToMpg, {[this] { OnAviToMpg(); }});
  Wire(kIdTiffConverter, {[this] { OnTiffConverter(); }});
  Wire(kIdWavToMp2, {[this] { OnWavToMp2(); }});
  Wire(kIdWavToMp3, {[this] { OnWavToMp3(); }});
  Wire(kIdRecorder, {[this] { OnRecorder(); }});
  // The image editor and processor (app/desk_commands.cpp)
  DeskCommands desk = MakeDeskCommands(*this, app_);
  Wire(kIdImageEditor, desk.imageEditor);
  Wire(kIdImageProcessor, desk.imageProcessor);
  // Help
  Wire(kIdHelpContents, help(kHelpContents));
  Wire(kIdTroubleshooting, help(kHelpTroubleshooting));
  Wire(kIdTutorialFirst, help(kHelpFirstAnimation));
  Wire(kIdTutorialAutoPaste, help(kHelpAutoPaste));
  Wire(kIdTutorialWeb, help(kHelpWebPages));
  Wire(kIdWebSite, desk.webSite);
  Wire(kIdAbout, {[this] { OnAbout(); }});
}

void CMainFrame::UpdateCommandUi() {
  for (auto it = actions_.constBegin(); it != actions_.constEnd(); ++it) {
    QAction* action = it.value();
    auto handler = handlers_.constFind(it.key());
    bool wired = handler != handlers_.constEnd() && handler->run;
    action->setEnabled(wired && !conversionRunning() && (!handler->enabled || handler->enabled()));
    if (action->isCheckable()) action->setChecked(wired && handler->checked && handler->checked());
  }
  UpdateStatusPanes();
  QString title = QString::fromStdString(doc_.title);
  // Unsaved changes: a star before the project's name.
  const QString mark = app_.history().IsModified() ? "*" : "";
  setWindowTitle(title.trimmed().isEmpty() ? mark + kAppTitle : mark + title + " - " + kAppTitle);
}

void CMainFrame::UpdateStatusPanes() {
  // Written only when a value changed, as the original's idle update of Create did.
  int count = doc_.list().EntryCount();
  QSize size = view_ ? view_->pictureSize() : QSize(0, 0);
  if (count == shownImageCount_ && size == shownPictureSize_) return;
  shownImageCount_ = count;
  shownPictureSize_ = size;
  panes_[1]->setText(QString::asprintf("%4d", count));
  panes_[2]->setText(QString::asprintf("%4dx%-4d", size.width(), size.height()));
}

void CMainFrame::SetStatusText(const QString& text) {
  statusBar()->clearMessage();
  panes_[0]->setText(text);
  panes_[0]->repaint();
}

QString CMainFrame::PaneText(int pane) const {
  return pane >= 0 && pane < 4 ? panes_[pane]->text() : QString();
}

StartupHooks CMainFrame::MakeStartupHooks() {
  StartupHooks hooks;
  InstallGifSettingsHook(hooks);
  InstallAviStartupHooks(hooks);
  hooks.fillBackground = [this](uint32_t) { view_->update(); };
  hooks.startBatchTimer = [this] { QTimer::singleShot(100, this, &CMainFrame::BuildBatch); };
  hooks.openPendingDocument = [this](const std::string& path) {
    app_.OpenDocumentFile(QString::fromStdString(path));
  };
  return hooks;
}

// X11 reports NumLock as the Mod2 bit of the native modifiers.
void CMainFrame::UpdateNumLock(quint32 nativeModifiers) {
  panes_[3]->setText((nativeModifiers & 0x10) ? "NUM" : "");
}

void CMainFrame::closeEvent(QCloseEvent* event) {
  // A conversion on its way cannot be broken off; the frame waits until it is done.
  if (conversionRunning()) {
    event->ignore();
    return;
  }
  if (!app_.SaveModified()) {
    event->ignore();
    return;
  }
  if (player_) player_->close();
  QMainWindow::closeEvent(event);
}

void CMainFrame::ScheduleCheckpoint() {
  if (checkpointScheduled_) return;
  checkpointScheduled_ = true;
  QTimer::singleShot(0, this, [this] {
    checkpointScheduled_ = false;
    if (app_.history().Checkpoint()) UpdateCommandUi();
  });
}

void CMainFrame::keyPressEvent(QKeyEvent* event) {
  UpdateNumLock(event->nativeModifiers());
  QMainWindow::keyPressEvent(event);
}

void CMainFrame::keyReleaseEvent(QKeyEvent* event) {
  UpdateNumLock(event->nativeModifiers());
  QMainWindow::keyReleaseEvent(event);
}

void CMainFrame::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void CMainFrame::dropEvent(QDropEvent* event) {
  QStringList files;
  for (const QUrl& url : event->mimeData()->urls())
    if (url.isLocalFile()) files << url.toLocalFile();
  if (files.isEmpty()) return;
  // Together, so that the files that are not pictures are named in one message.
  app_.OpenDocumentFiles(files);
  event->acceptProposedAction();
}

}  // namespace quendrolix::app
