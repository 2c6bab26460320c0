#include "qt_clipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <cstring>

#include "qt_bitmap.h"

namespace quendrolix::app {

bool QtClipboard::Open() {
  if (open_ || !QGuiApplication::clipboard()) return false;
  open_ = true;
  changed_ = false;
  read_ = false;
  bitmap_.reset();
  palette_.reset();
  return true;
}

void QtClipboard::ReadSystemClipboard() const {
  if (read_) return;
  read_ = true;
  const QMimeData* data = QGuiApplication::clipboard()->mimeData();
  if (!data || !data->hasImage()) return;
  bitmap_ = BitmapFromImage(qvariant_cast<QImage>(data->imageData()));
  if (!bitmap_) return;
  QByteArray bytes = data->data(kPaletteMime);
  size_t count = static_cast<size_t>(bytes.size()) / sizeof(PALETTEENTRY);
  if (count == 0 || count > 256) return;
  std::vector<PALETTEENTRY> entries(count);
  std::memcpy(entries.data(), bytes.constData(), count * sizeof(PALETTEENTRY));
  palette_ = Palette::Create(entries);
}

HBITMAP QtClipboard::GetBitmap() const {
  if (!open_) return nullptr;
  if (!changed_) ReadSystemClipboard();
  return bitmap_;
}

HPALETTE QtClipboard::GetPalette() const {
  if (!open_) return nullptr;
  if (!changed_) ReadSystemClipboard();
  return bitmap_ ? palette_ : nullptr;
}

void QtClipboard::Empty() {
  if (!open_) return;
  changed_ = true;
  read_ = true;
  bitmap_.reset();
  palette_.reset();
}

bool QtClipboard::SetBitmap(HBITMAP bitmap) {
  if (!open_ || !bitmap || bitmap->monochrome()) return false;
  changed_ = true;
  read_ = true;
  bitmap_ = std::move(bitmap);
  return true;
}

bool QtClipboard::SetPalette(HPALETTE palette) {
  if (!open_ || !palette) return false;
  changed_ = true;
  read_ = true;
  palette_ = std::move(palette);
  return true;
}

void QtClipboard::Close() {
  if (!open_) return;
  open_ = false;
  if (!changed_) return;
  QClipboard* clipboard = QGuiApplication::clipboard();
  if (!bitmap_) {
    clipboard->clear();
  } else {
    auto* data = new QMimeData;
    data->setImageData(ImageFromBitmap(*bitmap_));
    if (palette_) {
      const auto& entries = palette_->entries();
      data->setData(kPaletteMime,
                    QByteArray(reinterpret_cast<const char*>(entries.data()),
                               static_cast<qsizetype>(entries.size() * sizeof(PALETTEENTRY))));
    }
    clipboard->setMimeData(data);
  }
  bitmap_.reset();
  palette_.reset();
}

ScopedQtClipboard::ScopedQtClipboard() : previous_(&TheClipboard()) {
  SetClipboard(&clipboard_);
}

ScopedQtClipboard::~ScopedQtClipboard() {
  SetClipboard(previous_);
}

}  // namespace quendrolix::app
