#include "image/clipboard.h"

namespace quendrolix {

bool MemoryClipboard::Open() {
  if (refuseOpen || open_) return false;
  open_ = true;
  return true;
}

void MemoryClipboard::Empty() {
  bitmap_.reset();
  palette_.reset();
}

bool MemoryClipboard::SetBitmap(HBITMAP bitmap) {
  if (refusePlacement || !open_ || !bitmap) return false;
  bitmap_ = std::move(bitmap);
  return true;
}

bool MemoryClipboard::SetPalette(HPALETTE palette) {
  if (refusePlacement || !open_ || !palette) return false;
  palette_ = std::move(palette);
  return true;
}

namespace {
MemoryClipboard& DefaultClipboard() {
  static MemoryClipboard clipboard;
  return clipboard;
}
Clipboard*& CurrentClipboard() {
  static Clipboard* current = nullptr;
  return current;
}
}  // namespace

Clipboard& TheClipboard() {
  Clipboard* c = CurrentClipboard();
  return c ? *c : DefaultClipboard();
}

void SetClipboard(Clipboard* clipboard) {
  CurrentClipboard() = clipboard;
}

}  // namespace quendrolix
