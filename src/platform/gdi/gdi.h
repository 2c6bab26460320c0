#pragma once

// A small stand-in for the desktop's graphics services: a true-colour "screen" of 32 bits
// per pixel, screen-compatible bitmaps held as BGRX pixel buffers, logical palettes,
// memory device contexts and block transfers. Everything the image, AVI and MPEG engines
// draw goes through here, so that the same raster operations give the same pixels.

#include <cstdint>
#include <memory>
#include <vector>

namespace quendrolix {

// A colour value as the settings and the engines keep it: 0x00BBGGRR.
using COLORREF = uint32_t;
constexpr COLORREF RGB(uint8_t r, uint8_t g, uint8_t b) {
  return COLORREF{r} | (COLORREF{g} << 8) | (COLORREF{b} << 16);
}
constexpr uint8_t GetRValue(COLORREF c) {
  return static_cast<uint8_t>(c);
}
constexpr uint8_t GetGValue(COLORREF c) {
  return static_cast<uint8_t>(c >> 8);
}
constexpr uint8_t GetBValue(COLORREF c) {
  return static_cast<uint8_t>(c >> 16);
}
constexpr COLORREF CLR_INVALID = 0xFFFFFFFF;

// A pixel of a screen bitmap as it lies in memory: bytes blue, green, red, unused, that
// is 0x00RRGGBB read as a little-endian 32-bit value.
using Bgrx = uint32_t;
constexpr Bgrx BgrxFromColour(COLORREF c) {
  return (COLORREF{GetRValue(c)} << 16) | (COLORREF{GetGValue(c)} << 8) | GetBValue(c);
}
constexpr COLORREF ColourFromBgrx(Bgrx p) {
  return RGB(static_cast<uint8_t>(p >> 16), static_cast<uint8_t>(p >> 8), static_cast<uint8_t>(p));
}
constexpr Bgrx kBgrxWhite = 0x00FFFFFF;

// Raster operations understood by BitBlt and StretchBlt.
constexpr uint32_t SRCCOPY = 0x00CC0020;
constexpr uint32_t SRCAND = 0x008800C6;
constexpr uint32_t SRCINVERT = 0x00660046;
constexpr uint32_t SRCPAINT = 0x00EE0086;

// The display everything is made compatible with.
constexpr int kScreenBitsPerPixel = 32;
constexpr int kScreenWidth = 1024;
constexpr int kScreenHeight = 768;

#pragma pack(push, 1)
struct PALETTEENTRY {
  uint8_t peRed;
  uint8_t peGreen;
  uint8_t peBlue;
  uint8_t peFlags;
};
#pragma pack(pop)

// A logical palette of 1 to 256 entries. Turning true colour into indices asks it for the
// nearest entry; the lookup structure behind that is built once per palette, on first use,
// so converting every frame of a stream against one palette costs a table lookup a pixel.
class Palette {
 public:
  // Null when there are no entries or more than 256.
  static std::shared_ptr<Palette> Create(const std::vector<PALETTEENTRY>& entries);
  ~Palette();

  const std::vector<PALETTEENTRY>& entries() const { return entries_; }
  size_t size() const { return entries_.size(); }
  COLORREF Colour(size_t index) const;
  // The index of the entry nearest to the colour (squared distance in RGB; the lowest
  // index wins a tie, so a colour that is in the palette always maps to its first copy).
  // Only the first `limit` entries take part (all when limit is 0).
  uint8_t NearestIndex(uint8_t r, uint8_t g, uint8_t b, size_t limit = 0) const;
  std::shared_ptr<Palette> Copy() const;

 private:
  explicit Palette(std::vector<PALETTEENTRY> entries);
  struct Lookup;
  const Lookup& LookupFor(size_t limit) const;

  std::vector<PALETTEENTRY> entries_;
  mutable std::vector<std::unique_ptr<Lookup>> lookups_;
};
using HPALETTE = std::shared_ptr<Palette>;

// Default colour tables used when true colour must become indices and no palette is
// given: black and white, the 16 standard colours, or a 6 x 6 x 6 cube with a grey ramp.
HPALETTE DefaultPalette(int bitCount);

// A bitmap compatible with the screen (32 bits per pixel, rows top-down in memory), or a
// monochrome bitmap (1 bit per pixel; its pixels are held as black or white BGRX values).
class Bitmap {
 public:
  // Null when a side is not positive or the picture exceeds the size limits of dib.h.
  static std::shared_ptr<Bitmap> Create(int width, int height, bool monochrome = false);
  // As Create, but the pixels are left undefined: for callers that write every one.
  static std::shared_ptr<Bitmap> CreateForOverwrite(int width, int height);
  // A compatible bitmap with the same pixels.
  std::shared_ptr<Bitmap> Copy() const;

  int width() const { return width_; }
  int height() const { return height_; }
  int planes() const { return 1; }
  int bitsPerPixel() const { return monochrome_ ? 1 : kScreenBitsPerPixel; }
  bool monochrome() const { return monochrome_; }

  Bgrx* Row(int y) { return pixels_.get() + static_cast<size_t>(y) * width_; }
  const Bgrx* Row(int y) const { return pixels_.get() + static_cast<size_t>(y) * width_; }
  Bgrx Pixel(int x, int y) const { return Row(y)[x]; }
  // Stores the pixel; a monochrome bitmap keeps white for white and black for anything else.
  void SetPixel(int x, int y, Bgrx value);
  void Fill(Bgrx value);

 private:
  Bitmap(int width, int height, bool monochrome);
  static std::shared_ptr<Bitmap> Make(int width, int height, bool monochrome, bool zeroed);
  size_t count() const { return static_cast<size_t>(width_) * height_; }
  int width_;
  int height_;
  bool monochrome_;
  std::unique_ptr<Bgrx[]> pixels_;
};
using HBITMAP = std::shared_ptr<Bitmap>;

// A memory device context compatible with the screen: the target (and source) of block
// transfers. It holds a selected bitmap, a selected palette and the background and text
// colours that govern colour <-> monochrome transfers.
class DeviceContext {
 public:
  DeviceContext() = default;
  explicit DeviceContext(HBITMAP bitmap) : bitmap_(std::move(bitmap)) {}

  // Each returns what was selected before.
  HBITMAP SelectBitmap(HBITMAP bitmap);
  HPALETTE SelectPalette(HPALETTE palette);
  // On a true-colour screen realising maps nothing; returns the number of entries.
  unsigned RealizePalette() const { return palette_ ? static_cast<unsigned>(palette_->size()) : 0; }
  COLORREF SetBkColor(COLORREF colour);
  COLORREF SetTextColor(COLORREF colour);

  const HBITMAP& bitmap() const { return bitmap_; }
  const HPALETTE& palette() const { return palette_; }
  COLORREF bkColor() const { return bkColor_; }
  COLORREF textColor() const { return textColor_; }

  // CLR_INVALID outside the bitmap (or with none selected).
  COLORREF GetPixel(int x, int y) const;
  COLORREF SetPixel(int x, int y, COLORREF colour);
  // Fills the rectangle (clipped to the bitmap) with a solid colour.
  void FillRect(int x, int y, int width, int height, COLORREF colour);

 private:
  HBITMAP bitmap_;
  HPALETTE palette_;
  COLORREF bkColor_ = RGB(255, 255, 255);
  COLORREF textColor_ = RGB(0, 0, 0);
};

// Copies a width x height block from (srcX, srcY) of the source to (x, y) of the target,
// combining with the raster operation. Pixels whose source or target falls outside its
// bitmap are left alone (negative positions and blocks partly outside are clipped). A
// colour source going to a monochrome target gives white where the source has the
// source's background colour and black elsewhere; a monochrome source going to a colour
// target gives the target's text colour for black and its background colour for white.
// False when either context has no bitmap or the operation is not one of ours.
bool BitBlt(DeviceContext& target, int x, int y, int width, int height, const DeviceContext& source,
            int srcX, int srcY, uint32_t rop);
// As BitBlt, scaling the source block to the target block (nearest pixel).
bool StretchBlt(DeviceContext& target, int x, int y, int width, int height,
                const DeviceContext& source, int srcX, int srcY, int srcWidth, int srcHeight,
                uint32_t rop);

}  // namespace quendrolix
