#pragma once

#include <string>

#include "project/framewright_doc.h"

namespace quendrolix {

// The rules of "AVI Output Options": the project's frame rate in an edit box with a spin
// range of 1 to 500, and the colour depth as three radio buttons.
struct AviOutputOptionsDialog {
  static constexpr int kSpinMin = 1;
  static constexpr int kSpinMax = 500;
  enum Depth { k256Colours = 0, kPlentyOfColours = 1, kMillionsOfColours = 2 };

  std::string rateText;              // the edit box
  Depth depth = kMillionsOfColours;  // the radio choice
  // The sound's length policy (a list of three, in the order of SoundFit).
  SoundFit soundFit = SoundFit::kTrim;
  static const char* SoundFitLabel(SoundFit fit);

  // Opened on the project: the rate as "%d"; 8 bits picks the first button, 16 the
  // second, any other depth the third.
  static AviOutputOptionsDialog ForProject(const CFramewrightDoc& doc);
  // OK: the rate becomes the typed number read as a leading integer (not clamped to the
  // spin range), the depth 8, 16 or 24 by the button, and the sound's policy as chosen.
  void Apply(CFramewrightDoc& doc) const;
  static int DepthBits(Depth depth);
};

// The rules of "Frame Replication": a number in an edit box with a spin range of -100 to
// 100 and the modes "Set for all images" and "Add to current settings".
struct FrameReplicationDialog {
  static constexpr int kSpinMin = -100;
  static constexpr int kSpinMax = 100;

  std::string countText;  // the edit box
  ReplicationMode mode = ReplicationMode::kSetForAll;

  // Opened with the project's default frame count.
  static FrameReplicationDialog ForProject(const CFramewrightDoc& doc);
  // The typed number (a leading integer).
  int Typed() const;
  // OK, before the list is changed: the typed number clamped to -100..100, and in
  // "Set for all images" a value <= 0 made 1; the edit text is rewritten as "%d" of it.
  int Accept();
  // OK as a whole: Accept, then the replication over every row. Returns the number used.
  int Apply(CFramewrightDoc& doc);
  // "Save as default": max(typed, 1) becomes "Replicate", saved at once.
  bool SaveAsDefault(CFramewrightDoc& doc) const;
};

// The rules of "Output Size": the frame every picture is fitted into, as a preset or a
// custom width x height, and the fit.
struct OutputSizeDialog {
  static constexpr int kMinSide = 1;
  static constexpr int kMaxSide = 16384;
  enum Preset { kFirstPicture, k640x480, k720x576, k1280x720, k1920x1080, kCustom };
  static constexpr int kPresetCount = kCustom + 1;

  Preset preset = kFirstPicture;
  std::string widthText;  // the custom boxes
  std::string heightText;
  PictureFit fit = PictureFit::kLetterbox;

  // Opened on the project: the preset of its size, else custom with its size in the boxes
  // (the boxes hold 640 x 480 when a preset is chosen).
  static OutputSizeDialog ForProject(const CFramewrightDoc& doc);
  // "First picture", "640 x 480", ..., "Custom".
  static const char* PresetText(Preset preset);
  // The size of a preset; 0 x 0 for the first picture and for custom.
  static void PresetSize(Preset preset, int& width, int& height);
  // The custom boxes are enabled for the custom preset only.
  bool CustomEnabled() const { return preset == kCustom; }
  // OK: false with the sentence to show when a custom side is not a whole number from 1
  // to 16384.
  bool Check(std::string& problem) const;
  // The format OK stores (call after Check).
  OutputFormat Format() const;
  void Apply(CFramewrightDoc& doc) const { doc.output = Format(); }
};

}  // namespace quendrolix
