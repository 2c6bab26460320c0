#include "project/project_dialogs.h"

#include <algorithm>

#include "project/text_numbers.h"

namespace quendrolix {

AviOutputOptionsDialog AviOutputOptionsDialog::ForProject(const CFramewrightDoc& doc) {
  AviOutputOptionsDialog dialog;
  dialog.rateText = std::to_string(doc.framesPerSecond);
  dialog.depth = doc.bitsPerPixel == 8    ? k256Colours
                 : doc.bitsPerPixel == 16 ? kPlentyOfColours
                                          : kMillionsOfColours;
  dialog.soundFit = doc.soundFit;
  return dialog;
}

const char* AviOutputOptionsDialog::SoundFitLabel(SoundFit fit) {
  switch (fit) {
    case SoundFit::kFit:
      return "Fit the pictures to the sound";
    case SoundFit::kKeep:
      return "Keep the whole sound, hold the last picture";
    default:
      return "Trim the sound to the pictures (fade-out 0.5 s)";
  }
}

int AviOutputOptionsDialog::DepthBits(Depth depth) {
  switch (depth) {
    case k256Colours:
      return 8;
    case kPlentyOfColours:
      return 16;
    default:
      return 24;
  }
}

void AviOutputOptionsDialog::Apply(CFramewrightDoc& doc) const {
  doc.framesPerSecond = static_cast<int16_t>(LeadingInteger(rateText));  // the 16-bit member
  doc.bitsPerPixel = static_cast<int16_t>(DepthBits(depth));
  doc.soundFit = soundFit;
}

FrameReplicationDialog FrameReplicationDialog::ForProject(const CFramewrightDoc& doc) {
  FrameReplicationDialog dialog;
  dialog.countText = std::to_string(doc.DefaultFrameCount());
  return dialog;
}

int FrameReplicationDialog::Typed() const {
  return LeadingInteger(countText);
}

int FrameReplicationDialog::Accept() {
  int n = std::clamp(Typed(), kSpinMin, kSpinMax);
  if (mode == ReplicationMode::kSetForAll && n <= 0) n = 1;
  countText = std::to_string(n);
  return n;
}

int FrameReplicationDialog::Apply(CFramewrightDoc& doc) {
  int n = Accept();
  doc.ReplicateFrames(n, mode);
  return n;
}

bool FrameReplicationDialog::SaveAsDefault(CFramewrightDoc& doc) const {
  return doc.SaveReplicateDefault(Typed());
}

OutputSizeDialog OutputSizeDialog::ForProject(const CFramewrightDoc& doc) {
  OutputSizeDialog dialog;
  dialog.fit = doc.output.fit;
  dialog.widthText = "640";
  dialog.heightText = "480";
  if (!doc.output.HasSize()) return dialog;
  for (int p = k640x480; p < kCustom; ++p) {
    int w = 0, h = 0;
    PresetSize(static_cast<Preset>(p), w, h);
    if (w == doc.output.width && h == doc.output.height) {
      dialog.preset = static_cast<Preset>(p);
      return dialog;
    }
  }
  dialog.preset = kCustom;
  dialog.widthText = std::to_string(doc.output.width);
  dialog.heightText = std::to_string(doc.output.height);
  return dialog;
}

const char* OutputSizeDialog::PresetText(Preset preset) {
  static const char* const kTexts[kPresetCount] = {
      "First picture's size", "640 x 480", "720 x 576", "1280 x 720", "1920 x 1080", "Custom"};
  return preset >= 0 && preset < kPresetCount ? kTexts[preset] : "";
}

void OutputSizeDialog::PresetSize(Preset preset, int& width, int& height) {
  static const int kSizes[kPresetCount][2] = {{0, 0},      {640, 480},   {720, 576},
                                              {1280, 720}, {1920, 1080}, {0, 0}};
  const int p = preset >= 0 && preset < kPresetCount ? preset : 0;
  width = kSizes[p][0];
  height = kSizes[p][1];
}

namespace {

// A whole number from 1 to 16384 and nothing else (spaces around it allowed).
bool ReadSide(const std::string& text, int& side) {
  size_t begin = text.find_first_not_of(' ');
  size_t end = text.find_last_not_of(' ');
  if (begin == std::string::npos || end - begin + 1 > 5) return false;
  side = 0;
  for (size_t i = begin; i <= end; ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    side = side * 10 + (text[i] - '0');
  }
  return side >= OutputSizeDialog::kMinSide && side <= OutputSizeDialog::kMaxSide;
}

}  // namespace

bool OutputSizeDialog::Check(std::string& problem) const {
  int w = 0, h = 0;
  if (preset == kCustom && (!ReadSide(widthText, w) || !ReadSide(heightText, h))) {
    problem = "The width and the height must be whole numbers from 1 to 16384.";
    return false;
  }
  return true;
}

OutputFormat OutputSizeDialog::Format() const {
  OutputFormat format;
  format.fit = fit;
  if (preset == kCustom) {
    if (!ReadSide(widthText, format.width) || !ReadSide(heightText, format.height))
      format.width = format.height = 0;
  } else {
    PresetSize(preset, format.width, format.height);
  }
  return format;
}

}  // namespace quendrolix
