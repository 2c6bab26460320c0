#include "project/startup_sequence.h"

#include <filesystem>

#include "image/picture_limits.h"
#include "platform/host/program_folder.h"
#include "platform/host/user_prompts.h"
#include "project/text_numbers.h"

namespace quendrolix {
namespace fs = std::filesystem;

const char* const kScreenDepthWarning =
    "Your current settings indicate that color palette might not be rendered correctly. The "
    "Vuvodidi is designed to work with millions of colors (True color - 24 bits) or 32 bits. To "
    "change the settings please open Control Panel/Display/Settings.";

std::string SettingsImageDisplayName(const std::string& path) {
  std::string name = DisplayNameOf(path);
  if (name.find('.') == std::string::npos) name += '.';
  return name;
}

void ReadProjectDefaults(const SettingsStore& store, CFramewrightDoc& doc) {
  int16_t value = 10;
  store.GetInteger("General", "FPS", value);
  doc.framesPerSecond = value;
  value = 24;
  store.GetInteger("General", "BPP", value);
  doc.bitsPerPixel = value;
}

void ApplyPictureSettings(const SettingsStore& store, uint32_t screenColour) {
  int16_t megapixels = kDefaultPictureMegapixels;
  store.GetInteger("General", "MaxMegapixels", megapixels);
  SetPictureMegapixels(megapixels);
  SetPictureBackground(screenColour);
}

StartupReport RunStartupSequence(CFramewrightDoc& doc, ViewSettings& view, int screenBitsPerPixel,
                                 const StartupHooks& hooks) {
  StartupReport report;
  SettingsStore& store = doc.store();
  FrameList& list = doc.list();

  doc.initialised = true;
  if (doc.settingsFilePath.empty()) doc.settingsFilePath = ProgramFolder::Join("Clipora.ini");
  // Only the header: an image named on the command line is already in the list.
  list.SetCell(0, FrameList::kNameColumn, "Image");
  list.SetCell(0, FrameList::kFramesColumn, "Frames");
  report.settingsLoaded = store.Load(doc.settingsFilePath);
  if (hooks.loadGifSettings) hooks.loadGifSettings(store);

  ReadProjectDefaults(store, doc);
  store.GetColour("General", "ScreenColor", view.backgroundColour);
  ApplyPictureSettings(store, view.backgroundColour);
  store.GetInteger("General", "FrameImages", view.frameImages);
  std::string text;
  store.GetString("General", "Sound", text);
  doc.AttachSound(text);
  store.GetInteger("General", "Auto", view.autoBuild);
  store.GetString("General", "Output", doc.outputFile);

  if (hooks.fillBackground) hooks.fillBackground(view.backgroundColour);

  if (!store.GetString("General", "Codec", report.codecFile))
    report.codecFile = ProgramFolder::Join("AVI.codec");
  std::error_code ec;
  if (fs::exists(report.codecFile, ec) && hooks.loadCodecOptions)
    hooks.loadCodecOptions(report.codecFile);

  LogoSettings& logo = doc.logo;
  store.GetInteger("Logo", "bUseLogo", logo.bUseLogo);
  store.GetInteger("Logo", "bUseTransparent", logo.bUseTransparent);
  store.GetInteger("Logo", "nXPos", logo.nXPos);
  store.GetInteger("Logo", "nYPos", logo.nYPos);
  store.GetInteger("Logo", "bColorFromLogo", logo.bColorFromLogo);
  store.GetColour("Logo", "crTrans", logo.crTrans);
  store.GetString("Logo", "sLogoFile", logo.sLogoFile);
  if (hooks.prepareLogo) hooks.prepareLogo(doc);

  for (int i = 0; store.GetIndexed("Images", i, text); ++i) {
    size_t comma = text.find(',');
    std::string path = text.substr(0, comma);
    int count = comma == std::string::npos ? -1 : LeadingInteger(text.substr(comma + 1));
    std::string name = SettingsImageDisplayName(path);
    doc.AddImage(name, -1, count);
    doc.SetImagePath(name, path);
  }

  doc.Refresh();

  if (view.autoBuild) {
    report.batchBuildRequested = true;
    if (hooks.startBatchTimer) hooks.startBatchTimer();
  }
  if (screenBitsPerPixel < 24) {
    report.screenDepthWarning = true;
    Prompts().ShowMessage(kScreenDepthWarning);
  }
  if (!doc.pendingOpenPath.empty()) {
    std::string pending = doc.pendingOpenPath;
    doc.pathName = " ";
    if (hooks.openPendingDocument)
      hooks.openPendingDocument(pending);
    else
      doc.OpenDocument(pending);
    doc.pendingOpenPath.clear();
    report.openedPendingPath = pending;
  }
  return report;
}

}  // namespace quendrolix
