#include "command_table.h"

namespace quendrolix::app {

const std::vector<CommandSpec>& Commands() {
  static const std::vector<CommandSpec> table = {
      {kIdNewProject, "&New Project", {"Ctrl+N"}, "New Project"},
      {kIdOpenProject, "&Open Project...", {"Ctrl+O"}, "Open Project"},
      {kIdSaveProject, "&Save Project", {"Ctrl+S"}, "Save Project"},
      {kIdSaveProjectAs, "Save Project &As...", {}, {}},
      {kIdImportImages, "Step 1: &Import Images...", {"F6"}, "Import Images"},
      {kIdAttachSound, "Step 2: Attach S&ound File...", {"F7"}, "Attach sound"},
      {kIdCreate, "Step 3: Create &AVI or MPG File...", {"F8"}, "Create AVI / MPG"},
      {kIdQuickCreate, "&Quick AVI / MPG Create...", {}, {}},
      {kIdExit, "E&xit", {}, {}},
      {kIdUndo, "&Undo", {"Ctrl+Z"}, {}},
      {kIdRedo, "&Redo", {"Ctrl+Shift+Z"}, {}},
      {kIdCut, "Cu&t", {"Ctrl+X", "Shift+Del"}, "Cut"},
      {kIdCopy, "&Copy", {"Ctrl+C", "Ctrl+Ins"}, "Copy"},
      {kIdPaste, "&Paste", {"Ctrl+V", "Shift+Ins"}, "Paste"},
      {kIdAutoPaste, "&Auto-paste", {}, "Auto-paste", true},
      {kIdMainToolbar, "&Main Toolbar", {}, {}, true},
      {kIdToolsToolbar, "&Tools", {}, {}, true},
      {kIdStatusBar, "&Status Bar", {}, {}, true},
      {kIdViewAnimation, "&View Animation...", {}, "View Animation"},
      {kIdAviOutputSettings, "AVI Output &Settings...", {}, {}},
      {kIdOutputSize, "Output Si&ze...", {}, {}},
      {kIdAviCodec, "&AVI Codec...", {}, {}},
      {kIdMpgOutputSettings, "&MPG Output Settings...", {}, {}},
      {kIdGifOutputSettings, "&GIF Output Settings", {}, {}},
      {kIdLogo, "&Logo...", {}, {}},
      {kIdFrameReplication, "&Frame Replication...", {"F12"}, {}},
      {kIdScreenBackground, "&Screen Background Color...", {}, {}},
      {kIdFrameImages, "&Frame Images", {}, {}, true},
      {kIdMorphing, "&Morphing...", {}, "Morphing"},
      {kIdQuickImageExtractor, "Quick &AVI Image Extractor...", {}, {}},
      {kIdQuickSoundExtractor, "Quick AVI &Sound Extractor...", {}, {}},
      {kIdExtractImages, "&Extract Images from AVI or Multi-page TIFF...", {}, "Extract Images"},
      {kIdJoinAvis, "&Join 2 AVI-s Together...", {}, "Join 2 AVI-s"},
      {kIdMergeAviSound,
       "&Merge AVI Animation with AVI or WAV Sound...",
       {},
       "Merge AVI with sound"},
      {kIdMergeMpgSound,
       "Merge M&PG Animation with AVI, WAV or MP2 Sound...",
       {},
       "Merge MPG with sound"},
      {kIdAviToMpg, "&AVI -> MP&G Converter...", {}, "AVI to MPG"},
      {kIdTiffConverter, "Multi-page TIFF->AVI/MPEG Converter...", {}, {}},
      {kIdWavToMp2, "WA&V -> MP2 Converter...", {}, "WAV to MP2"},
      {kIdWavToMp3, "&WAV -> MP3 Converter...", {}, "WAV to MP3"},
      {kIdRecorder, "MP3 and WAV Sound &Recorder...", {"F3"}, "Sound Recorder"},
      {kIdImageProcessor, "Image &Processor...", {}, {}},
      {kIdImageEditor, "Image &Editor", {}, "Image Editor", true},
      {kIdHelpContents, "&Contents...", {"F1"}, "Help contents"},
      {kIdTroubleshooting, "&Troubleshooting", {}, {}},
      {kIdTutorialFirst, "Tutorial: Your first animation...", {}, {}},
      {kIdTutorialAutoPaste, "Tutorial: Auto-paste...", {}, {}},
      {kIdTutorialWeb, "Tutorial: Adding Animations and Videos to &Web Pages...", {}, {}},
      {kIdWebSite, "Quendrolix on the &Web", {}, {}},
      {kIdAbout, "&About...", {}, "About"},
  };
  return table;
}

const CommandSpec* FindCommand(int id) {
  for (const auto& command : Commands())
    if (command.id == id) return &command;
  return nullptr;
}

const std::vector<MenuSpec>& MainMenu() {
  static const std::vector<MenuSpec> menus = {
      {"&File",
       {kIdNewProject, kIdOpenProject, kIdSaveProject, kIdSaveProjectAs, 0, kIdImportImages,
        kIdAttachSound, kIdCreate, 0, kIdQuickCreate, 0, kIdRecentFirst, 0, kIdExit}},
      {"&Edit", {kIdUndo, kIdRedo, 0, kIdCut, kIdCopy, kIdPaste, 0, kIdAutoPaste}},
      {"&View",
       {kIdMainToolbar, kIdToolsToolbar, kIdStatusBar, 0, kIdViewAnimation, 0, kIdImageEditor}},
      {"&Options",
       {kIdAviOutputSettings, kIdOutputSize, kIdAviCodec, kIdMpgOutputSettings,
        kIdGifOutputSettings, 0, kIdLogo, kIdFrameReplication, 0, kIdScreenBackground,
        kIdFrameImages}},
      {"&Tools",
       {kIdMorphing, kIdImageProcessor, 0, kIdQuickImageExtractor, kIdQuickSoundExtractor,
        kIdExtractImages, 0, kIdJoinAvis, kIdMergeAviSound, kIdMergeMpgSound, 0, kIdAviToMpg,
        kIdTiffConverter, 0, kIdWavToMp2, kIdWavToMp3, kIdRecorder}},
      {"&Help",
       {kIdHelpContents, kIdTroubleshooting, 0, kIdTutorialFirst, kIdTutorialAutoPaste,
        kIdTutorialWeb, 0, kIdWebSite, kIdAbout}},
  };
  return menus;
}

const std::vector<int>& MainToolbarButtons() {
  static const std::vector<int> buttons = {kIdNewProject,
                                           kIdOpenProject,
                                           kIdSaveProject,
                                           0,
                                           kIdImportImages,
                                           kIdAttachSound,
                                           kIdCreate,
                                           0,
                                           kIdViewAnimation,
                                           0,
                                           kIdCut,
                                           kIdCopy,
                                           kIdPaste,
                                           kIdAutoPaste,
                                           0,
                                           kIdRecorder,
                                           0,
                                           kIdHelpContents,
                                           kIdAbout};
  return buttons;
}

const std::vector<int>& ToolsToolbarButtons() {
  static const std::vector<int> buttons = {kIdExtractImages, 0, kIdJoinAvis, kIdMergeAviSound,
                                           kIdMergeMpgSound, 0, kIdAviToMpg, kIdWavToMp2,
                                           kIdWavToMp3,      0, kIdMorphing};
  return buttons;
}

}  // namespace quendrolix::app
