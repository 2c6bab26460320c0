#pragma once

// CBmp: the in-memory picture used everywhere, a screen-compatible bitmap with its palette
// and an optional transparent colour, loaded and saved by the file name's extension.

#include <functional>
#include <string>

#include "image/clipboard.h"
#include "platform/gdi/dib.h"
#include "platform/gdi/gdi.h"

namespace quendrolix {

class CBmp {
 public:
  CBmp() = default;
  ~CBmp() { Release(); }
  CBmp(const CBmp&) = delete;
  CBmp& operator=(const CBmp&) = delete;
  CBmp(CBmp&& other) noexcept;
  CBmp& operator=(CBmp&& other) noexcept;

  static constexpr const char* kClassName = "CBmp";

  // Releases, then reads the file by its extension (BMP, DIB, PCX, TIF, TIFF, CRI, TGA,
  // JPG, JPEG, GIF, PNG, WEBP, HEIC, HEIF, and the built-in pseudo-extensions P, B4 and B8;
  // pictures with alpha over the screen background, photographs upright). False when the
  // extension is unknown or the decoder failed; the picture is then empty.
  bool Load(const std::string& path);
  // The same for a caller that will scale the picture: `needed` receives the upright size
  // and changes it to the size the caller scales to. Readers that can decode a smaller
  // picture for less work (JPEG) then deliver one of the same shape that is at least that
  // large; the others deliver the picture as it is.
  bool Load(const std::string& path, const std::function<void(int& width, int& height)>& needed);
  // Writes the picture by extension (BMP, PCX, JPG, JPEG, TIF, TIFF, PNG); anything else
  // writes nothing. The picture is not changed.
  bool Save(const std::string& path) const;
  // False when there is no bitmap.
  bool GetSize(int& width, int& height) const;
  // Draws at (x, y); a width or height of -1 means the picture's own. With `stretch` the
  // whole picture is scaled to the destination; otherwise the block from (srcX, srcY) is
  // copied. A transparent picture leaves the target's pixels where it has its transparent
  // colour.
  void Draw(DeviceContext& dc, int x, int y, int width = -1, int height = -1, int srcX = 0,
            int srcY = 0, bool stretch = false, bool realisePalette = false);
  // Deletes bitmap, palette and mask.
  void Release();

  bool CopyToClipboard(Clipboard& clipboard = TheClipboard()) const;
  bool PasteFromClipboard(Clipboard& clipboard = TheClipboard());

  // Takes over a bitmap (and palette) made elsewhere, after releasing the current ones.
  void Attach(HBITMAP bitmap, HPALETTE palette = nullptr);
  // Sets the picture from a DIB block: palette from its table, bitmap with that palette.
  bool SetFromDib(const DibBlock& dib, const uint8_t* pixels = nullptr);
  void SetTransparent(bool transparent, COLORREF colour);

  // Why the last Load failed, in a few words ("This is not a valid PNG File!", "TIFF status
  // 105: the pixel data could not be read", ...); empty after a successful load.
  const std::string& loadFailure() const { return loadFailure_; }

  bool IsValid() const { return bitmap_ != nullptr; }
  const HBITMAP& bitmap() const { return bitmap_; }
  const HPALETTE& palette() const { return palette_; }
  const HBITMAP& mask() const { return mask_; }
  uint32_t transparent() const { return transparent_; }
  COLORREF transparentColour() const { return transparentColour_; }

 private:
  bool LoadByExtension(const std::string& path, const std::string& ext,
                       const std::function<void(int& width, int& height)>& needed);
  bool SaveJpeg(const std::string& path) const;

  HBITMAP bitmap_;
  HPALETTE palette_;
  HBITMAP mask_;
  uint32_t transparent_ = 0;
  COLORREF transparentColour_ = 0;
  std::string loadFailure_;
};

}  // namespace quendrolix
