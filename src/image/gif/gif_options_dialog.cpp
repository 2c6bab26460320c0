#include "image/gif/gif_options_dialog.h"

#include "project/text_numbers.h"

namespace quendrolix {

GifOutputOptionsDialog GifOutputOptionsDialog::Open(const GifOutputSettings& settings) {
  GifOutputOptionsDialog dialog;
  dialog.base = settings;
  dialog.Fill(settings);
  return dialog;
}

void GifOutputOptionsDialog::Fill(const GifOutputSettings& settings) {
  globalColormap = settings.GlobalColormap();
  interlaced = settings.Interlaced();
  transparency = settings.Transparency() != -1;
  entryText = transparency ? std::to_string(settings.Transparency()) : "0";
  loopForever = settings.Play() == 0;
  repeatText = std::to_string(settings.Play());
  showDialog = settings.ShowDialog();
  delayText = std::to_string(settings.GlobalDelay());
  focusControl = 0;
}

void GifOutputOptionsDialog::ChooseLoopForever() {
  loopForever = true;
}

void GifOutputOptionsDialog::ChooseRepeat() {
  loopForever = false;
  focusControl = kRepeatEdit;
}

void GifOutputOptionsDialog::ChooseNoTransparency() {
  transparency = false;
}

void GifOutputOptionsDialog::ChooseTransparency() {
  transparency = true;
  focusControl = kTransparencyEdit;
}

GifOutputSettings GifOutputOptionsDialog::Taken() const {
  GifOutputSettings settings = base;
  int16_t entry = -1;
  if (transparency) {
    int32_t typed = LeadingInteger(entryText);
    entry = typed < 0 || typed > 255 ? int16_t{-1} : static_cast<int16_t>(typed);
  }
  settings.SetTransparency(entry);
  int32_t play = 0;
  if (!loopForever) {
    play = LeadingInteger(repeatText);
    if (play <= 0) play = 1;
    if (play >= 256) play = 255;
  }
  settings.SetPlay(static_cast<uint8_t>(play));
  settings.SetInterlaced(interlaced);
  settings.SetGlobalColormap(globalColormap);
  settings.SetShowDialog(showDialog);
  settings.SetGlobalDelay(static_cast<uint16_t>(LeadingInteger(delayText)));
  return settings;
}

void GifOutputOptionsDialog::Ok(GifOutputSettings& program) const {
  program = Taken();
}

bool GifOutputOptionsDialog::SaveAsDefault(GifOutputSettings& program, SettingsStore& store) const {
  program = Taken();
  program.Serialize(store, false);
  return store.Save();
}

void GifOutputOptionsDialog::ResetToDefault(SettingsStore& store) {
  GifOutputSettings settings = base;
  settings.Serialize(store, true);
  Fill(settings);
}

}  // namespace quendrolix
