#include "image/edit/edit_operation.h"

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
  if (width < 1 || height < 1 || width > kMaxSide || height > kMaxSide) return nullptr;
  const int sw = source.width(), sh = source.height();
  switch (fit) {
    case FrameFit::kStretch:
      return Resize(source, width, height);
    case FrameFit::kNone:
      return PlaceOnFrame(source, width, height, (width - sw) / 2, (height - sh) / 2);
    case FrameFit::kLetterbox: {
      int w = 0, h = 0;
      FitSize(sw, sh, width, height, w, h);
      HBITMAP scaled = Resize(source, w, h);
      return scaled ? PlaceOnFrame(*scaled, width, height, (width - w) / 2, (height - h) / 2)
                    : nullptr;
    }
    case FrameFit::kCrop: {
      // The smallest size of the picture's shape that covers the frame, then the middle.
      int w = width, h = height;
      if (int64_t{sw} * height > int64_t{sh} * width)
        w = static_cast<int>((int64_t{sw} * height + sh / 2) / sh);
      else
        h = static_cast<int>((int64_t{sh} * width + sw / 2) / sw);
      HBITMAP scaled = Resize(source, std::max(w, width), std::max(h, height));
      return scaled ? Crop(*scaled, {(scaled->width() - width) / 2, (scaled->height() - height) / 2,
                                     width, height})
                    : nullptr;
    }
  }
  return nullptr;
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
