#pragma once

#include "image/clipboard.h"

namespace quendrolix::app {

// The system clipboard behind the core's Clipboard. Between Open and Close the calls work
// on one snapshot: what is read is converted once, on first demand, and what is placed
// reaches the system clipboard at Close, all at once. A palette travels beside the
// picture in a format of our own, so that other programs see a plain image.
class QtClipboard : public Clipboard {
 public:
  static constexpr const char* kPaletteMime = "application/x-quendrolix-palette";

  bool Open() override;
  void Close() override;
  void Empty() override;
  bool SetBitmap(HBITMAP bitmap) override;
  bool SetPalette(HPALETTE palette) override;
  HBITMAP GetBitmap() const override;
  HPALETTE GetPalette() const override;

 private:
  void ReadSystemClipboard() const;

  bool open_ = false;
  bool changed_ = false;  // something was placed or emptied: write it at Close
  mutable bool read_ = false;
  mutable HBITMAP bitmap_;
  mutable HPALETTE palette_;
};

// Installs the system clipboard for the program while it lives.
class ScopedQtClipboard {
 public:
  ScopedQtClipboard();
  ~ScopedQtClipboard();
  ScopedQtClipboard(const ScopedQtClipboard&) = delete;
  ScopedQtClipboard& operator=(const ScopedQtClipboard&) = delete;

 private:
  QtClipboard clipboard_;
  Clipboard* previous_;
};

}  // namespace quendrolix::app
