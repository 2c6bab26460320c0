#include "image/dib_functions.h"

#include <cstring>

#include "image/image_io.h"
#include "platform/gdi/dib_bitmap.h"
#include "platform/host/atomic_file.h"

namespace quendrolix {

namespace {
int& LastErrorSlot() {
  static int code = kDibErrorNone;
  return code;
}
}  // namespace

int DibLastError() {
  return LastErrorSlot();
}
void SetDibLastError(int code) {
  LastErrorSlot() = code;
}

HPALETTE PaletteFromDib(const DibBlock& dib) {
  if (dib.size() < sizeof(BITMAPINFOHEADER)) return nullptr;
  uint32_t count = DibColourCount(dib);
  if (count == 0) return nullptr;
  const BITMAPINFOHEADER& h = dib.header();
  uint64_t end = uint64_t{h.biSize} + 4 * uint64_t{count};
  if (count > 256 || end > dib.size()) {
    SetDibLastError(kDibErrorPalette);
    return nullptr;
  }
  std::vector<PALETTEENTRY> entries(count);
  const RGBQUAD* table = dib.colours();
  for (uint32_t i = 0; i < count; ++i)
    entries[i] = {table[i].rgbRed, table[i].rgbGreen, table[i].rgbBlue, 0};
  HPALETTE palette = Palette::Create(entries);
  if (!palette) SetDibLastError(kDibErrorPalette);
  return palette;
}

HBITMAP BitmapFromDib(const DibBlock& dib, const HPALETTE& palette, const uint8_t* pixels) {
  // The palette would be selected into the screen and realised here; a true-colour screen
  // shows the colour table's colours as they are, so the rows carry everything.
  DeviceContext screen;
  HPALETTE previous = screen.SelectPalette(palette);
  screen.RealizePalette();
  HBITMAP bitmap = BitmapFromDibBlock(dib, pixels);
  screen.SelectPalette(previous);
  if (!bitmap) SetDibLastError(kDibErrorBitmap);
  return bitmap;
}

HDIB DibFromBitmapAtDepth(const Bitmap& bitmap, int bitCount, const HPALETTE& palette) {
  uint32_t colours = bitCount <= 8 ? (1u << bitCount) : 0;
  HDIB dib = NewDib(bitmap.width(), bitmap.height(), bitCount, colours);
  if (!dib) {
    SetDibLastError(kDibErrorMemory);
    return nullptr;
  }
  if (!DibBitsFromBitmap(bitmap, bitCount, palette.get(), colours ? dib->colours() : nullptr,
                         colours, DibPixels(*dib), dib->header().biSizeImage)) {
    SetDibLastError(kDibErrorBitmap);
    return nullptr;
  }
  return dib;
}

HDIB DibFromBitmap(const Bitmap& bitmap, const HPALETTE& palette) {
  int bits = bitmap.planes() * bitmap.bitsPerPixel();
  int bitCount = bits == 1 ? 1 : bits <= 4 ? 4 : bits <= 8 ? 8 : bits <= 16 ? 16 : 24;
  HDIB dib = DibFromBitmapAtDepth(bitmap, bitCount, palette);
  if (dib) dib->header().biClrUsed = 0;  // the table is the full one of its depth
  return dib;
}

bool SaveDibFile(const std::string& path, const DibBlock& dib) {
  if (dib.size() < sizeof(BITMAPINFOHEADER)) return false;
  AtomicFile out(path);
  if (out.tempPath().empty()) return false;
  {
    FileHandle f = OpenFile(out.tempPath(), "wb");
    if (!f) return false;
    uint8_t fileHeader[14] = {'B', 'M'};
    PutLe32(fileHeader + 2, static_cast<uint32_t>(dib.size() + 14));
    PutLe32(fileHeader + 10, static_cast<uint32_t>(14 + DibBitsOffset(dib)));
    if (std::fwrite(fileHeader, 1, 14, f.get()) != 14) return false;
    const uint8_t* p = dib.data();
    size_t left = dib.size();
    while (left) {
      size_t piece = std::min<size_t>(left, 32767);
      if (std::fwrite(p, 1, piece, f.get()) != piece) return false;
      p += piece;
      left -= piece;
    }
    if (std::fclose(f.release()) != 0) return false;
  }
  return out.Commit();
}

}  // namespace quendrolix
