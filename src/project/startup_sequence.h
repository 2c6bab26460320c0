#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "project/framewright_doc.h"

namespace quendrolix {

// The view's settings that the settings file restores, with the view's construction values.
struct ViewSettings {
  uint32_t backgroundColour = 0x00C0C0C0;  // "ScreenColor", 0x00BBGGRR
  int16_t frameImages = 1;                 // "FrameImages": etched frame around the image
  int16_t autoBuild = 0;                   // "Auto": build unattended after start-up
};

// Steps of the start-up sequence that belong to other parts of the program. Each front
// installs what it has; an unset hook means that step has nothing to do in this build.
struct StartupHooks {
  // Read the animated-GIF options from section "Gif Settings".
  std::function<void(SettingsStore& store)> loadGifSettings;
  // Fill the view's client area with the background colour.
  std::function<void(uint32_t colour)> fillBackground;
  // Load the codec options file; called only when the file exists.
  std::function<void(const std::string& codecFile)> loadCodecOptions;
  // Prepare the logo pictures from the document's logo settings.
  std::function<void(CFramewrightDoc& doc)> prepareLogo;
  // Start the view's unattended-build timer (id 123, 100 ms, once).
  std::function<void()> startBatchTimer;
  // Open the pending project through the application. Unset: the document's own open
  // operation reads it.
  std::function<void(const std::string& path)> openPendingDocument;
};

// String 61230, shown once when the screen has fewer than 24 bits per pixel.
extern const char* const kScreenDepthWarning;

// What the sequence did, for fronts without a window.
struct StartupReport {
  bool settingsLoaded = false;       // the settings file could be read
  std::string codecFile;             // the codec options file looked for
  bool batchBuildRequested = false;  // "Auto" is set: the unattended build is due
  bool screenDepthWarning = false;   // message 61230 was shown
  std::string openedPendingPath;     // the pending project that was opened, if any
};

// The display name of a settings "Images" entry's path: the file name with its
// extension, and a '.' after a name that has none ("dir/pic" gives "pic.").
std::string SettingsImageDisplayName(const std::string& path);

// The project's defaults of section "General": "FPS" (10 when missing) and "BPP" (24).
void ReadProjectDefaults(const SettingsStore& store, CFramewrightDoc& doc);

// What the picture readers take from the settings: the pixel budget ("MaxMegapixels" of
// "General", 100 when missing or below 1) and the colour that transparent pictures are
// laid over (the screen background).
void ApplyPictureSettings(const SettingsStore& store, uint32_t screenColour);

// The start-up sequence, run once at the view's first paint: marks the document
// initialised; settles the settings file (program folder + "Clipora.ini" when none was
// named); prepares the list's header; loads the settings; reads "General" (FPS 10, BPP 24,
// ScreenColor, FrameImages, Sound, Auto, Output), "Codec", section "Logo" and the "Images"
// entries "0", "1", ... up to the first missing one; refreshes the project; starts the
// batch timer when "Auto" is set; warns about a screen of fewer than 24 bits per pixel;
// and finally opens the pending project, if any.
StartupReport RunStartupSequence(CFramewrightDoc& doc, ViewSettings& view, int screenBitsPerPixel,
                                 const StartupHooks& hooks = {});

}  // namespace quendrolix
