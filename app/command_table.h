#pragma once

#include <QString>
#include <QStringList>
#include <vector>

namespace quendrolix::app {

// Command identifiers of the menus, toolbars and accelerators.
enum CommandId : int {
  kIdNewProject = 57600,
  kIdOpenProject = 57601,
  kIdSaveProject = 57603,
  kIdSaveProjectAs = 57604,
  kIdImportImages = 32771,
  kIdAttachSound = 32774,
  kIdCreate = 32773,
  kIdQuickCreate = 32785,
  kIdRecentFirst = 57616,
  kIdExit = 57665,
  kIdUndo = 57643,
  kIdRedo = 57644,
  kIdCut = 57635,
  kIdCopy = 57634,
  kIdPaste = 57637,
  kIdAutoPaste = 32809,
  kIdMainToolbar = 59392,
  kIdToolsToolbar = 32796,
  kIdStatusBar = 59393,
  kIdViewAnimation = 32772,
  kIdAviOutputSettings = 32797,
  kIdOutputSize = 32817,
  kIdAviCodec = 32777,
  kIdMpgOutputSettings = 32798,
  kIdGifOutputSettings = 32814,
  kIdLogo = 32782,
  kIdFrameReplication = 32801,
  kIdScreenBackground = 32779,
  kIdFrameImages = 32780,
  kIdMorphing = 32784,
  kIdQuickImageExtractor = 32781,
  kIdQuickSoundExtractor = 32802,
  kIdExtractImages = 32803,
  kIdJoinAvis = 32805,
  kIdMergeAviSound = 32783,
  kIdMergeMpgSound = 32791,
  kIdAviToMpg = 32787,
  kIdTiffConverter = 32804,
  kIdWavToMp2 = 32790,
  kIdWavToMp3 = 32792,
  kIdRecorder = 32799,
  kIdImageProcessor = 32815,
  kIdImageEditor = 32816,
  kIdHelpContents = 32775,
  kIdTroubleshooting = 32786,
  kIdTutorialFirst = 32810,
  kIdTutorialAutoPaste = 32811,
  kIdTutorialWeb = 32808,
  kIdWebSite = 32813,
  kIdAbout = 57664,
};

// Controls of the image-list bar.
enum ListBarId : int {
  kIdMoveUp = 1001,
  kIdMoveDown = 1002,
  kIdMoveFirst = 1003,
  kIdMoveLast = 1004,
  kIdSoundButton = 1010,
  kIdDeleteImage = 1011,
  kIdImageGrid = 1034,
};

// Number of entries of the recent-file list; ids kIdRecentFirst.. follow one another.
inline constexpr int kRecentFileCount = 4;

struct CommandSpec {
  int id;
  QString text;           // menu text with its '&' mnemonic
  QStringList shortcuts;  // accelerators, first one shown in the menu
  QString toolTip;        // toolbar tool tip, empty when the command has no button
  bool checkable = false;
};

// Every command of the program, in menu order within each menu.
const std::vector<CommandSpec>& Commands();
const CommandSpec* FindCommand(int id);

struct MenuSpec {
  QString title;
  std::vector<int> items;  // 0 is a separator, kIdRecentFirst marks the recent-file list
};
const std::vector<MenuSpec>& MainMenu();

// Toolbar buttons left to right; 0 is a separator.
const std::vector<int>& MainToolbarButtons();
const std::vector<int>& ToolsToolbarButtons();

}  // namespace quendrolix::app
