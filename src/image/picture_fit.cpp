#include "image/picture_fit.h"

#include <algorithm>
#include <cstdint>

#include "image/edit/image_edit.h"
#include "platform/av/picture_scaler.h"

namespace quendrolix {

FitPlacement PlaceForFit(int pictureWidth, int pictureHeight, int frameWidth, int frameHeight,
                         PictureFit fit) {
  FitPlacement place{pictureWidth, pictureHeight, 0, 0};
  if (pictureWidth < 1 || pictureHeight < 1 || frameWidth < 1 || frameHeight < 1) return place;
  const int64_t pw = pictureWidth, ph = pictureHeight;
  switch (fit) {
    case PictureFit::kNone:
      break;
    case PictureFit::kStretch:
      place.width = frameWidth;
      place.height = frameHeight;
      break;
    case PictureFit::kLetterbox:
      edit::FitSize(pictureWidth, pictureHeight, frameWidth, frameHeight, place.width,
                    place.height);
      break;
    case PictureFit::kCrop:
      // The smallest size of the picture's shape that covers the frame.
      place.width = frameWidth;
      place.height = frameHeight;
      if (pw * frameHeight > ph * frameWidth)
        place.width = static_cast<int>((pw * frameHeight + ph / 2) / ph);
      else
        place.height = static_cast<int>((ph * frameWidth + pw / 2) / pw);
      place.width = std::max(place.width, frameWidth);
      place.height = std::max(place.height, frameHeight);
      break;
  }
  // Centred; an odd pixel of border goes to the top and left, as ImageMagick's centre
  // gravity places it.
  auto centre = [](int frame, int side) {
    return frame >= side ? (frame - side + 1) / 2 : (frame - side) / 2;
  };
  place.x = centre(frameWidth, place.width);
  place.y = centre(frameHeight, place.height);
  return place;
}

HBITMAP FitPicture(const Bitmap& picture, int frameWidth, int frameHeight, PictureFit fit) {
  if (frameWidth < 1 || frameHeight < 1 || frameWidth > edit::kMaxSide ||
      frameHeight > edit::kMaxSide || picture.width() < 1 || picture.height() < 1)
    return nullptr;
  const FitPlacement place =
      PlaceForFit(picture.width(), picture.height(), frameWidth, frameHeight, fit);
  if (place.width == picture.width() && place.height == picture.height()) {
    if (place.width == frameWidth && place.height == frameHeight) return picture.Copy();
    return edit::PlaceOnFrame(picture, frameWidth, frameHeight, place.x, place.y);
  }
  HBITMAP scaled = av::ScaleBitmap(picture, place.width, place.height);
  if (!scaled) return nullptr;
  if (place.width == frameWidth && place.height == frameHeight) return scaled;
  return edit::PlaceOnFrame(*scaled, frameWidth, frameHeight, place.x, place.y);
}

}  // namespace quendrolix
