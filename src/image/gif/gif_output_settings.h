#pragma once

#include <cstdint>

#include "project/settings_store.h"

namespace quendrolix {

struct StartupHooks;

// The section of the settings file that holds the animated-GIF options.
extern const char* const kGifSettingsSection;  // "Gif Settings"

// The animated-GIF output options. One instance serves the whole program
// (TheGifOutputSettings()); copies are handed to the writer and kept by the options
// dialog while it is open.
//
// Global colour map, interlaced, transparency and play are the record proper; "show
// dialog" and "global delay" are program-wide values that the same load and save handle,
// kept here so one accessor reaches all six.
class GifOutputSettings {
 public:
  // Reads (loading) or writes the six keys of "Gif Settings" in the order
  // "GlobalColormap", "Interlaced", "Transparency", "Play", "ShowDlg", "GlobalDelay".
  // Every value is the "%d" text of a 16-bit signed number. On loading, a key that is
  // present replaces the current value (flags are on when non-zero; play keeps the low
  // 8 bits) and a missing key leaves it as it is.
  void Serialize(SettingsStore& store, bool loading);

  // One colour map, made from all the pictures, for every frame (default on).
  bool GlobalColormap() const { return globalColormap_; }
  void SetGlobalColormap(bool on) { globalColormap_ = on; }
  // Write interlaced images (default off).
  bool Interlaced() const { return interlaced_; }
  void SetInterlaced(bool on) { interlaced_ = on; }
  // The transparent palette entry, 0 to 255, or -1 for none (default -1).
  int16_t Transparency() const { return transparency_; }
  void SetTransparency(int16_t entry) { transparency_ = entry; }
  // 0: loop forever; 1 to 255: show the animation that many times (default 1).
  uint8_t Play() const { return play_; }
  void SetPlay(uint8_t play) { play_ = play; }
  // Open the options dialog before saving (default on).
  bool ShowDialog() const { return showDialog_; }
  void SetShowDialog(bool on) { showDialog_ = on; }
  // Delay of each project frame in hundredths of a second (default 100). Stored as a
  // 16-bit number: 60000 is written "-5536" and reads back as 60000.
  uint16_t GlobalDelay() const { return globalDelay_; }
  void SetGlobalDelay(uint16_t delay) { globalDelay_ = delay; }

  bool operator==(const GifOutputSettings&) const = default;

 private:
  bool globalColormap_ = true;
  bool interlaced_ = false;
  int16_t transparency_ = -1;
  uint8_t play_ = 1;
  bool showDialog_ = true;
  uint16_t globalDelay_ = 100;
};

// The program-wide options, created with the defaults on first use.
GifOutputSettings& TheGifOutputSettings();

// Makes start-up read the program-wide options from the settings store (step 5 of the
// sequence). The fronts call this while preparing their hooks.
void InstallGifSettingsHook(StartupHooks& hooks);

}  // namespace quendrolix
