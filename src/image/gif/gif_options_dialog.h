#pragma once

#include <string>

#include "image/gif/gif_output_settings.h"
#include "project/settings_store.h"

namespace quendrolix {

// The rules of "Animated GIF output options" (dialog 167), without a window: the state of
// its controls, what enables what, and how the settings are filled in and taken out.
// The desktop program binds its widgets to these members; the CLI sets them directly.
struct GifOutputOptionsDialog {
  static constexpr int kDialogId = 167;
  // Control ids.
  static constexpr int kGlobalColormapCheck = 1083;
  static constexpr int kInterlacedCheck = 1084;
  static constexpr int kHelpButton = 1085;
  static constexpr int kLoopForeverRadio = 1086;
  static constexpr int kRepeatRadio = 1087;
  static constexpr int kRepeatEdit = 1088;
  static constexpr int kRepeatSpin = 1089;
  static constexpr int kNoTransparencyRadio = 1090;
  static constexpr int kTransparencyRadio = 1091;
  static constexpr int kTransparencyEdit = 1092;
  static constexpr int kTransparencySpin = 1093;
  static constexpr int kShowDialogCheck = 1094;
  static constexpr int kSaveDefaultButton = 1095;
  static constexpr int kResetDefaultButton = 1096;
  static constexpr int kDelayEdit = 1097;
  static constexpr int kDelaySpin = 1098;
  // Spin ranges: repeat count, palette entry, delay in hundredths of a second.
  static constexpr int kRepeatSpinMin = 1, kRepeatSpinMax = 255;
  static constexpr int kEntrySpinMin = 0, kEntrySpinMax = 255;
  static constexpr int kDelaySpinMin = 0, kDelaySpinMax = 60000;
  static constexpr const char* kHelpTopic = "Tutorials/gif.htm";

  // The controls.
  bool globalColormap = true;
  bool interlaced = false;
  bool loopForever = false;   // "&Loop the animation forever" (else "&Repeat the animation")
  std::string repeatText;     // edit 1088
  bool transparency = false;  // "Set &transparency to palette entry number" (else "&No ...")
  std::string entryText;      // edit 1092
  bool showDialog = true;
  std::string delayText;  // edit 1097
  int focusControl = 0;   // the control a choice moved the focus to, 0 when none

  // Opened on the given settings (normally the program's): the dialog keeps a copy as
  // the base that "Reset to default settings" reads the store over.
  static GifOutputOptionsDialog Open(const GifOutputSettings& settings);
  // Fills every control from the settings: transparency -1 selects "&No transparency"
  // with "0" in the edit, any other value the second button with that number; play 0
  // selects "&Loop the animation forever", any other the second button, and the edit
  // shows the play value either way.
  void Fill(const GifOutputSettings& settings);

  // The edits are enabled only beside their chosen radio button.
  bool RepeatEditEnabled() const { return !loopForever; }
  bool EntryEditEnabled() const { return transparency; }
  // Radio choices: choosing the button with an edit enables it and moves the focus there.
  void ChooseLoopForever();
  void ChooseRepeat();
  void ChooseNoTransparency();
  void ChooseTransparency();

  // The settings the controls say, with the dialog's clamps: a palette entry outside 0 to
  // 255 gives -1; a repeat count of 0 or less gives 1 and of 256 or more 255; looping
  // forever gives play 0; the delay is taken as typed (not range-checked, kept to 16
  // bits). Edits that hold no number read as 0.
  GifOutputSettings Taken() const;
  // OK: the program runs with the taken settings; the store is not written.
  void Ok(GifOutputSettings& program) const;
  // "&Save settings as default": the taken settings are applied, written to the store
  // and the store flushed. Returns whether the file was written.
  bool SaveAsDefault(GifOutputSettings& program, SettingsStore& store) const;
  // "Reset to &default settings": the six keys are read from the store again over the
  // settings the dialog was opened with (a missing key keeps that value) and the
  // controls are refilled. The program's settings change only on OK or Save.
  void ResetToDefault(SettingsStore& store);

  GifOutputSettings base;  // what the dialog was opened with
};

}  // namespace quendrolix
