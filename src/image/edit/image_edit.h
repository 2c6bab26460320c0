#pragma once

// The picture operations of the image editor (Image, Rotate and Effects menus) and of
// the image processor. Each takes a bitmap and returns a new one, leaving the source as
// it was, so that the editor keeps every step for undo without copying.

#include "platform/gdi/gdi.h"

namespace quendrolix::edit {

// Limits of the operations' parameters; the dialogs offer these ranges.
inline constexpr int kMinAdjust = -100;  // brightness and contrast
inline constexpr int kMaxAdjust = 100;
inline constexpr int kMaxSide = 16384;  // the largest side Resize makes

struct EditRect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  bool IsEmpty() const { return width <= 0 || height <= 0; }
  bool operator==(const EditRect&) const = default;
};

// Quarter turns clockwise (1 = 90 degrees, 2 = 180, 3 = 270; any integer, taken modulo 4).
HBITMAP Rotate(const Bitmap& source, int quarterTurns);
// Mirror left-right (`horizontal`) or top-bottom.
HBITMAP Flip(const Bitmap& source, bool horizontal);
// The part of `area` that lies inside the picture; null when nothing of it does.
HBITMAP Crop(const Bitmap& source, const EditRect& area);
// The area clipped to a width x height picture (empty when it misses it).
EditRect ClipToPicture(const EditRect& area, int width, int height);
// Scaled to width x height: each output pixel averages the source pixels it covers when
// shrinking (no aliasing on photographs), bilinear when enlarging. Null for a side outside
// 1..kMaxSide.
HBITMAP Resize(const Bitmap& source, int width, int height);
// The size that keeps the picture's proportions within box width x height (at least 1 x 1).
void FitSize(int width, int height, int boxWidth, int boxHeight, int& outWidth, int& outHeight);
// The picture placed on a black width x height frame with its top-left corner at (x, y)
// (negative: the picture is cut there). Null for a side outside 1..kMaxSide.
HBITMAP PlaceOnFrame(const Bitmap& source, int width, int height, int x, int y);
// Grey by the luma weights of BT.601 (0.299 R + 0.587 G + 0.114 B).
HBITMAP Greyscale(const Bitmap& source);
// Brightness and contrast, each -100..100 (clamped), 0 leaving the picture as it is:
// contrast scales the distance from mid-grey by (100 + c) / 100, brightness then adds
// b * 255 / 100.
HBITMAP BrightnessContrast(const Bitmap& source, int brightness, int contrast);

}  // namespace quendrolix::edit
