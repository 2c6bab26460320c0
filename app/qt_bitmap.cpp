#include "qt_bitmap.h"

#include <QPainter>

namespace quendrolix::app {

QImage ImageFromBitmap(const Bitmap& bitmap) {
  QImage image(bitmap.width(), bitmap.height(), QImage::Format_RGB32);
  if (image.isNull()) return image;
  for (int y = 0; y < bitmap.height(); ++y) {
    const Bgrx* from = bitmap.Row(y);
    auto* to = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < bitmap.width(); ++x) to[x] = from[x] | 0xFF000000u;
  }
  return image;
}

QImage ImageFromBitmap(const HBITMAP& bitmap) {
  return bitmap ? ImageFromBitmap(*bitmap) : QImage();
}

HBITMAP BitmapFromImage(const QImage& image) {
  if (image.isNull()) return nullptr;
  // Transparent pixels of a clipboard picture are taken as drawn on white, as a desktop
  // program pasting a picture with alpha would show it.
  QImage rgb = image;
  if (rgb.hasAlphaChannel()) {
    QImage flat(rgb.size(), QImage::Format_RGB32);
    flat.fill(Qt::white);
    QPainter(&flat).drawImage(0, 0, rgb);
    rgb = flat;
  } else if (rgb.format() != QImage::Format_RGB32) {
    rgb = rgb.convertToFormat(QImage::Format_RGB32);
  }
  HBITMAP bitmap = Bitmap::CreateForOverwrite(rgb.width(), rgb.height());
  if (!bitmap) return nullptr;
  for (int y = 0; y < rgb.height(); ++y) {
    const auto* from = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
    Bgrx* to = bitmap->Row(y);
    for (int x = 0; x < rgb.width(); ++x) to[x] = from[x] & 0x00FFFFFFu;
  }
  return bitmap;
}

QImage RenderPicture(CBmp& picture, QColor background) {
  int width = 0, height = 0;
  if (!picture.GetSize(width, height)) return QImage();
  HBITMAP surface = Bitmap::Create(width, height);
  if (!surface) return QImage();
  if (picture.transparent()) surface->Fill(BgrxFromColour(ColorrefFromColour(background)));
  DeviceContext dc(surface);
  picture.Draw(dc, 0, 0);
  return ImageFromBitmap(*surface);
}

QColor ColourFromColorref(COLORREF colour) {
  return QColor(GetRValue(colour), GetGValue(colour), GetBValue(colour));
}

COLORREF ColorrefFromColour(const QColor& colour) {
  return RGB(static_cast<uint8_t>(colour.red()), static_cast<uint8_t>(colour.green()),
             static_cast<uint8_t>(colour.blue()));
}

}  // namespace quendrolix::app
