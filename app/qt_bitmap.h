#pragma once

#include <QColor>
#include <QImage>

#include "image/cbmp.h"
#include "platform/gdi/gdi.h"

namespace quendrolix::app {

// Screen bitmaps and QImage share their pixel layout (32-bit words 0x..RRGGBB, rows
// top-down); only the unused byte differs: Qt wants it 0xFF, our bitmaps keep it 0.

// The bitmap as an opaque RGB32 image; null for a null bitmap.
QImage ImageFromBitmap(const Bitmap& bitmap);
QImage ImageFromBitmap(const HBITMAP& bitmap);
// A screen bitmap of the image's pixels (alpha dropped); null for a null image or one
// beyond the bitmap size limits.
HBITMAP BitmapFromImage(const QImage& image);

// The picture as it is drawn on a background of `background`: a transparent picture lets
// the background show where it has its transparent colour. Null when it has no bitmap.
QImage RenderPicture(CBmp& picture, QColor background);

// 0x00BBGGRR as a QColor and back.
QColor ColourFromColorref(COLORREF colour);
COLORREF ColorrefFromColour(const QColor& colour);

}  // namespace quendrolix::app
