#pragma once

// How a project's pictures meet one frame size, and what becomes of a sound that is longer
// or shorter than the pictures. Both are stored with the project.

#include <string>

namespace quendrolix {

// How each picture is placed into the output frame.
enum class PictureFit {
  kLetterbox,  // the whole picture scaled to fit, centred on black
  kCrop,       // scaled to fill the frame, centred, the overflow cut off
  kStretch,    // scaled to the frame, proportions not kept
  kNone,       // not scaled: the AVI stops at a picture of another size, the MPG centres it
};

// The output frame: width x height, or 0 x 0 for the first picture's size (after its
// orientation), and the fit.
struct OutputFormat {
  int width = 0;
  int height = 0;
  PictureFit fit = PictureFit::kLetterbox;
  bool HasSize() const { return width > 0 && height > 0; }
  bool operator==(const OutputFormat&) const = default;
};

// What the roads do with the project's sound.
enum class SoundFit {
  kTrim,  // the sound ends with the last picture, with a short fade-out
  kFit,   // every frame count scaled so that the pictures last as long as the sound
  kKeep,  // the whole sound; the last picture stays on screen until it ends
};

// "letterbox", "crop", "stretch", "none".
const char* PictureFitName(PictureFit fit);
// The fit a name gives (letter case ignored); false for any other text.
bool ParsePictureFit(const std::string& text, PictureFit& fit);
// "trim", "fit", "keep".
const char* SoundFitName(SoundFit fit);
bool ParseSoundFit(const std::string& text, SoundFit& fit);
// "WxH" with both from 1 to 16384 ("1920x1080"; an upper-case X too); false otherwise.
bool ParseFrameSize(const std::string& text, int& width, int& height);

}  // namespace quendrolix
