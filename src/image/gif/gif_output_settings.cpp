#include "image/gif/gif_output_settings.h"

#include "project/startup_sequence.h"

namespace quendrolix {

const char* const kGifSettingsSection = "Gif Settings";

namespace {

// One key in either direction; the value travels as a 16-bit signed number.
void Exchange(SettingsStore& store, bool loading, const char* key, int16_t& value) {
  if (loading)
    store.GetInteger(kGifSettingsSection, key, value);
  else
    store.SetInteger(kGifSettingsSection, key, value);
}

void ExchangeFlag(SettingsStore& store, bool loading, const char* key, bool& flag) {
  int16_t value = flag ? 1 : 0;
  Exchange(store, loading, key, value);
  flag = value != 0;
}

}  // namespace

void GifOutputSettings::Serialize(SettingsStore& store, bool loading) {
  ExchangeFlag(store, loading, "GlobalColormap", globalColormap_);
  ExchangeFlag(store, loading, "Interlaced", interlaced_);
  Exchange(store, loading, "Transparency", transparency_);
  int16_t play = play_;
  Exchange(store, loading, "Play", play);
  play_ = static_cast<uint8_t>(play & 0xFF);
  ExchangeFlag(store, loading, "ShowDlg", showDialog_);
  int16_t delay = static_cast<int16_t>(globalDelay_);
  Exchange(store, loading, "GlobalDelay", delay);
  globalDelay_ = static_cast<uint16_t>(delay);
}

GifOutputSettings& TheGifOutputSettings() {
  static GifOutputSettings settings;
  return settings;
}

void InstallGifSettingsHook(StartupHooks& hooks) {
  hooks.loadGifSettings = [](SettingsStore& store) {
    TheGifOutputSettings().Serialize(store, true);
  };
}

}  // namespace quendrolix
