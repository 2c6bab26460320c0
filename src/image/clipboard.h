#pragma once

// The clipboard as the picture commands see it: a bitmap and, optionally, its palette.
// The Qt front puts the system clipboard behind this; tests and the CLI use the
// in-memory one.

#include "platform/gdi/gdi.h"

namespace quendrolix {

class Clipboard {
 public:
  virtual ~Clipboard() = default;
  // Opening fails when another program holds the clipboard.
  virtual bool Open() = 0;
  virtual void Close() = 0;
  virtual void Empty() = 0;
  // Each placement takes ownership of the object it is given; false when it was refused.
  virtual bool SetBitmap(HBITMAP bitmap) = 0;
  virtual bool SetPalette(HPALETTE palette) = 0;
  // What is offered, or null.
  virtual HBITMAP GetBitmap() const = 0;
  virtual HPALETTE GetPalette() const = 0;
};

class MemoryClipboard : public Clipboard {
 public:
  bool Open() override;
  void Close() override { open_ = false; }
  void Empty() override;
  bool SetBitmap(HBITMAP bitmap) override;
  bool SetPalette(HPALETTE palette) override;
  HBITMAP GetBitmap() const override { return bitmap_; }
  HPALETTE GetPalette() const override { return palette_; }

  // For tests: refuse opening, or refuse placements.
  bool refuseOpen = false;
  bool refusePlacement = false;
  bool isOpen() const { return open_; }

 private:
  bool open_ = false;
  HBITMAP bitmap_;
  HPALETTE palette_;
};

// The clipboard the program uses (never null): an in-memory one until a front installs
// its own.
Clipboard& TheClipboard();
void SetClipboard(Clipboard* clipboard);  // null restores the in-memory one

}  // namespace quendrolix
