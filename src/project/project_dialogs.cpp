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

}  // namespace quendrolix
