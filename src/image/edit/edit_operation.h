#pragma once

// One operation of the editor's menus, as the image processor applies it to many pictures
// and as the editor keeps it in its history.

#include <string>

#include "image/edit/image_edit.h"
#include "project/output_format.h"

namespace quendrolix::edit {

enum class EditKind {
  kRotate90,
  kRotate180,
  kRotate270,
  kFlipHorizontal,
  kFlipVertical,
  kCrop,
  kResize,
  kGreyscale,
  kBrightnessContrast,
  kFitToOutputSize,  // the project's output frame, by its fit (below)
};

// How a picture meets an output frame of width x height: the project's own fits
// (letterbox, crop, stretch; none centres the picture unscaled, cut where it is larger).
using FrameFit = PictureFit;

struct EditOperation {
  EditOperation() = default;
  explicit EditOperation(EditKind k) : kind(k) {}

  EditKind kind = EditKind::kRotate90;
  EditRect area;                        // kCrop
  int width = 0, height = 0;            // kResize (and kFitToOutputSize: the output size)
  bool keepProportions = false;         // kResize: width x height is a box the picture fits in
  int brightness = 0, contrast = 0;     // kBrightnessContrast
  FrameFit fit = FrameFit::kLetterbox;  // kFitToOutputSize

  // The result; null when the operation cannot apply (a crop outside the picture, a size
  // out of range, a fit without an output size).
  HBITMAP Apply(const Bitmap& source) const;
  // Words for the undo list, the processor's log and messages ("Rotate 90", "Resize to
  // 640x480", ...).
  std::string Describe() const;

 private:
  HBITMAP FitToFrame(const Bitmap& source) const;
};

}  // namespace quendrolix::edit
