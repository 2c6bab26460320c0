#include "image/edit/edit_operation.h"

#include "image/picture_fit.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>

namespace quendrolix::edit {

HBITMAP EditOperation::Apply(const Bitmap& source) const {
  switch (kind) {
    case EditKind::kRotate90:
      return Rotate(source, 1);
    case EditKind::kRotate180:
      return Rotate(source, 2);
    case EditKind::kRotate270:
      return Rotate(source, 3);
    case EditKind::kFlipHorizontal:
      return Flip(source, true);
    case EditKind::kFlipVertical:
      return Flip(source, false);
    case EditKind::kCrop:
      return Crop(source, area);
    case EditKind::kResize: {
      if (width < 1 || height < 1) return nullptr;
      int w = width, h = height;
      if (keepProportions) FitSize(source.width(), source.height(), width, height, w, h);
      return Resize(source, w, h);
    }
    case EditKind::kFitToOutputSize:
      return FitToFrame(source);
    case EditKind::kGreyscale:
      return Greyscale(source);
    case EditKind::kBrightnessContrast:
      return BrightnessContrast(source, brightness, contrast);
  }
  return nullptr;
}

HBITMAP EditOperation::FitToFrame(const Bitmap& source) const {
  // The same fitting as every road that makes a movie, so a processed picture matches the
  // frame the movie would show.
  return FitPicture(source, width, height, fit);
}

std::string EditOperation::Describe() const {
  char text[96];
  switch (kind) {
    case EditKind::kRotate90:
      return "Rotate 90";
    case EditKind::kRotate180:
      return "Rotate 180";
    case EditKind::kRotate270:
      return "Rotate 270";
    case EditKind::kFlipHorizontal:
      return "Flip Horizontal";
    case EditKind::kFlipVertical:
      return "Flip Vertical";
    case EditKind::kCrop:
      std::snprintf(text, sizeof text, "Crop to %dx%d", area.width, area.height);
      return text;
    case EditKind::kResize:
      std::snprintf(text, sizeof text, keepProportions ? "Resize to fit %dx%d" : "Resize to %dx%d",
                    width, height);
      return text;
    case EditKind::kGreyscale:
      return "Greyscale";
    case EditKind::kBrightnessContrast:
      std::snprintf(text, sizeof text, "Brightness %+d, contrast %+d", brightness, contrast);
      return text;
    case EditKind::kFitToOutputSize:
      std::snprintf(text, sizeof text, "Fit to the project's output size (%dx%d)", width, height);
      return text;
  }
  return {};
}

}  // namespace quendrolix::edit
