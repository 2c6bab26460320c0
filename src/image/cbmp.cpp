#include "image/cbmp.h"

#include <cstring>
#include <vector>

#include "image/builtin_pictures.h"
#include "image/dib_functions.h"
#include "image/gif_reader.h"
#include "image/heif_glue.h"
#include "image/image_io.h"
#include "image/jpeg_glue.h"
#include "image/pcx_format.h"
#include "image/picture_limits.h"
#include "image/png_glue.h"
#include "image/tga_reader.h"
#include "image/tiff_glue.h"
#include "image/webp_glue.h"
#include "platform/host/conversion_log.h"

namespace quendrolix {

CBmp::CBmp(CBmp&& other) noexcept {
  *this = std::move(other);
}

CBmp& CBmp::operator=(CBmp&& other) noexcept {
  if (this != &other) {
    bitmap_ = std::move(other.bitmap_);
    palette_ = std::move(other.palette_);
    mask_ = std::move(other.mask_);
    transparent_ = other.transparent_;
    transparentColour_ = other.transparentColour_;
    other.Release();
    other.transparent_ = 0;
    other.transparentColour_ = 0;
  }
  return *this;
}

void CBmp::Release() {
  bitmap_.reset();
  palette_.reset();
  mask_.reset();
}

void CBmp::Attach(HBITMAP bitmap, HPALETTE palette) {
  Release();
  bitmap_ = std::move(bitmap);
  palette_ = std::move(palette);
}

void CBmp::SetTransparent(bool transparent, COLORREF colour) {
  transparent_ = transparent ? 1 : 0;
  transparentColour_ = colour;
  mask_.reset();  // made again for the new colour at the next draw
}

bool CBmp::SetFromDib(const DibBlock& dib, const uint8_t* pixels) {
  HPALETTE palette = PaletteFromDib(dib);
  HBITMAP bitmap = BitmapFromDib(dib, palette, pixels);
  if (!bitmap) return false;
  Attach(std::move(bitmap), std::move(palette));
  return true;
}

namespace {

std::string DibFailure(int code) {
  switch (code) {
    case kDibErrorRead:
      return "the file could not be read";
    case kDibErrorNotBitmap:
      return "not a bitmap file";
    case kDibErrorMemory:
      return "out of memory";
    case kDibErrorPalette:
      return "palette creation failed";
    case kDibErrorBitmap:
      return "bitmap creation failed";
    default:
      return "the picture could not be read";
  }
}

std::string TiffFailure(int status) {
  const char* what = "not a TIFF file that can be opened";
  switch (status) {
    case kTiffStatusNoBits:
      what = "no bits per sample";
      break;
    case kTiffStatusDeflate:
      what = "compression 32946 is not supported";
      break;
    case kTiffStatusOldJpeg:
      what = "old-style JPEG compression is not supported";
      break;
    case kTiffStatusNoMemory:
      what = "out of memory, or larger than the pixel budget";
      break;
    case kTiffStatusReadFailed:
      what = "the pixel data could not be read";
      break;
    case kTiffStatusCmykDepth:
      what = "CMYK below 8 bits per sample is not supported";
      break;
  }
  return StringPrintf("TIFF status %d: %s", status, what);
}

// A 32-bit block with alpha laid over a plain colour; the alpha bytes become opaque.
void BlendOverBackground(DibBlock& dib, COLORREF background) {
  const BITMAPINFOHEADER& h = dib.header();
  const int width = h.biWidth;
  const int height = h.biHeight < 0 ? -h.biHeight : h.biHeight;
  const int bg[3] = {GetBValue(background), GetGValue(background), GetRValue(background)};
  const size_t stride = DibRowStride(width, 32);
  for (int y = 0; y < height; ++y) {
    uint8_t* p = DibPixels(dib) + static_cast<size_t>(y) * stride;
    for (int x = 0; x < width; ++x, p += 4) {
      const int a = p[3];
      for (int c = 0; c < 3; ++c)
        p[c] = static_cast<uint8_t>((p[c] * a + bg[c] * (255 - a) + 127) / 255);
      p[3] = 255;
    }
  }
}

std::string TgaFailure(int status) {
  const char* what = "not a TGA picture that can be read";
  if (status == kTgaStatusCannotOpen) what = "the file cannot be opened";
  if (status == kTgaStatusNoMemory) what = "out of memory, or larger than the pixel budget";
  if (status == kTgaStatusReadFailed)
    what = "the pixel data could not be read, or the file is too short for the picture";
  return StringPrintf("TGA status %d: %s", status, what);
}

}  // namespace

bool CBmp::Load(const std::string& path) {
  return Load(path, {});
}

bool CBmp::Load(const std::string& path,
                const std::function<void(int& width, int& height)>& needed) {
  loadFailure_.clear();
  Release();
  // A transparent colour belongs to the picture it came with.
  transparent_ = 0;
  transparentColour_ = 0;
  const std::string ext = UpperExtension(path);
  if (LoadByExtension(path, ext, needed)) {
    loadFailure_.clear();
    return true;
  }
  Release();
  if (loadFailure_.empty())
    loadFailure_ = ext.empty() ? "no file extension" : "the picture could not be read";
  return false;
}

bool CBmp::LoadByExtension(const std::string& path, const std::string& ext,
                           const std::function<void(int& width, int& height)>& needed) {
  if (ext == "BMP" || ext == "DIB") {
    SetDibLastError(kDibErrorNone);
    HDIB dib = LoadDibFile(path);
    if (dib && SetFromDib(*dib)) return true;
    loadFailure_ = DibFailure(DibLastError());
    return false;
  }
  if (ext == "PCX" || ext == "P") {
    HDIB dib;
    HPALETTE palette;
    bool ok;
    if (ext == "PCX") {
      ok = ReadPcxFile(path, dib, palette);
    } else {
      const BuiltInResource* r = FindBuiltInResource(path, "pcx");
      FileHandle f = r ? OpenMemory(r->data, r->size) : nullptr;
      ok = f && ReadPcx(f.get(), dib, palette);
    }
    if (!ok) {
      loadFailure_ = "not a PCX picture that can be read";
      return false;
    }
    HBITMAP bitmap = BitmapFromDib(*dib, palette);
    if (!bitmap) return false;
    Attach(std::move(bitmap), std::move(palette));
    return true;
  }
  if (ext == "B4" || ext == "B8") {
    const BuiltInResource* r = FindBuiltInResource(path, "bitmap");
    if (!r) return false;
    HDIB dib = DibBlock::FromBytes(r->data, r->size);
    if (!dib || !DibIsConsistent(*dib)) return false;
    HPALETTE palette;
    if (ext == "B8") {
      // A full 256-entry palette from the table, whatever its length.
      std::vector<PALETTEENTRY> entries(256, PALETTEENTRY{0, 0, 0, 0});
      uint32_t count = std::min<uint32_t>(DibColourCount(*dib), 256);
      for (uint32_t i = 0; i < count; ++i)
        entries[i] = {dib->colours()[i].rgbRed, dib->colours()[i].rgbGreen,
                      dib->colours()[i].rgbBlue, 0};
      palette = Palette::Create(entries);
    }
    HBITMAP bitmap = BitmapFromDib(*dib, palette);
    if (!bitmap) return false;
    Attach(std::move(bitmap), std::move(palette));
    return true;
  }
  if (ext == "TIF" || ext == "TIFF" || ext == "CRI") {
    std::vector<uint32_t> offsets;
    CountTiffPages(path, offsets, 6);
    // The second offset found: 0 (the first directory) for a single page.
    uint32_t offset = offsets.size() > 1 ? offsets[1] : 0;
    int status = 0;
    HDIB dib = ReadTiff(path, offset, &status);
    if (dib && SetFromDib(*dib)) return true;
    loadFailure_ = TiffFailure(status);
    return false;
  }
  if (ext == "TGA") {
    int status = 0;
    HDIB dib = ReadTga(path, &status);
    if (dib && SetFromDib(*dib)) return true;
    loadFailure_ = TgaFailure(status);
    return false;
  }
  if (ext == "JPG" || ext == "JPEG") {
    HDIB dib = ReadJpeg(path, &loadFailure_, needed);
    if (!dib) return false;
    HBITMAP bitmap = BitmapFromDib(*dib, nullptr);
    if (!bitmap) return false;
    Attach(std::move(bitmap), nullptr);
    return true;
  }
  if (ext == "GIF") {
    GifImageInfo info;
    int status = 0;
    HDIB dib = ReadGif(path, 0, 0, &info, &status);
    if (!dib || !SetFromDib(*dib)) {
      loadFailure_ =
          status == kGifStatusCannotOpen  ? "the file cannot be opened"
          : status == kGifStatusNoMemory  ? "out of memory, or larger than the pixel budget"
          : status == kGifStatusShortData ? "the pixel data ends before the picture is complete"
                                          : "not a GIF picture that can be read";
      return false;
    }
    if (info.transparent) {
      COLORREF colour = 0;
      if (info.transparentIndex < DibColourCount(*dib)) {
        const RGBQUAD& q = dib->colours()[info.transparentIndex];
        colour = RGB(q.rgbRed, q.rgbGreen, q.rgbBlue);
      }
      SetTransparent(true, colour);
    }
    return true;
  }
  if (ext == "PNG" || ext == "WEBP" || ext == "HEIC" || ext == "HEIF") {
    std::string message;
    HDIB dib = ext == "PNG"    ? ReadPng(path, message)
               : ext == "WEBP" ? ReadWebp(path, message)
                               : ReadHeif(path, message);
    // Transparent parts show the screen background, as they would on a page.
    if (dib && dib->header().biBitCount == 32) BlendOverBackground(*dib, PictureBackground());
    if (dib && SetFromDib(*dib)) return true;
    loadFailure_ = message;
    return false;
  }
  return false;
}

bool CBmp::GetSize(int& width, int& height) const {
  if (!bitmap_) return false;
  width = bitmap_->width();
  height = bitmap_->height();
  return true;
}

bool CBmp::SaveJpeg(const std::string& path) const {
  HDIB dib = DibFromBitmapAtDepth(*bitmap_, 24, nullptr);
  if (!dib) return false;
  const int width = bitmap_->width(), height = bitmap_->height();
  const size_t stride = DibRowStride(width, 24);
  std::vector<uint8_t> rgb(static_cast<size_t>(width) * height * 3);
  const uint8_t* rows = DibPixels(*dib);
  for (int y = 0; y < height; ++y) {
    const uint8_t* src = rows + static_cast<size_t>(height - 1 - y) * stride;
    uint8_t* dst = rgb.data() + static_cast<size_t>(y) * width * 3;
    for (int x = 0; x < width; ++x) {
      dst[3 * x] = src[3 * x + 2];
      dst[3 * x + 1] = src[3 * x + 1];
      dst[3 * x + 2] = src[3 * x];
    }
  }
  return WriteJpeg(path, rgb.data(), width, height, 1, 100);
}

bool CBmp::Save(const std::string& path) const {
  if (!bitmap_) return false;
  const std::string ext = UpperExtension(path);
  if (ext == "BMP") {
    HDIB dib = DibFromBitmap(*bitmap_, palette_);
    return dib && SaveDibFile(path, *dib);
  }
  if (ext == "PCX") {
    HDIB dib = DibFromBitmap(*bitmap_, palette_);
    if (dib && dib->header().biBitCount == 16) dib = DibFromBitmapAtDepth(*bitmap_, 24, nullptr);
    return dib && WritePcx(path, *dib);
  }
  if (ext == "JPG" || ext == "JPEG") return SaveJpeg(path);
  if (ext == "TIF" || ext == "TIFF") {
    HDIB dib = DibFromBitmap(*bitmap_, palette_);
    int status = 0;
    return dib && WriteTiff(path, *dib, kTiffLzw, &status);
  }
  if (ext == "PNG") {
    HDIB dib = DibFromBitmap(*bitmap_, palette_);
    return dib && WritePng(path, *dib);
  }
  return false;
}

void CBmp::Draw(DeviceContext& dc, int x, int y, int width, int height, int srcX, int srcY,
                bool stretch, bool realisePalette) {
  if (!bitmap_) return;
  if (realisePalette && palette_) {
    dc.SelectPalette(palette_);
    dc.RealizePalette();
  }
  const int bmWidth = bitmap_->width(), bmHeight = bitmap_->height();
  if (width == -1) width = bmWidth;
  if (height == -1) height = bmHeight;
  DeviceContext picture(bitmap_);
  auto paint = [&](const DeviceContext& source, uint32_t rop) {
    if (stretch)
      StretchBlt(dc, x, y, width, height, source, srcX, srcY, bmWidth - srcX, bmHeight - srcY, rop);
    else
      BitBlt(dc, x, y, width, height, source, srcX, srcY, rop);
  };
  if (!transparent_) {
    paint(picture, SRCCOPY);
    return;
  }
  if (!mask_) {
    mask_ = Bitmap::Create(bmWidth, bmHeight, true);
    if (!mask_) return;
    picture.SetBkColor(transparentColour_);
    DeviceContext maskDc(mask_);
    BitBlt(maskDc, 0, 0, bmWidth, bmHeight, picture, 0, 0, SRCCOPY);
  }
  DeviceContext maskDc(mask_);
  COLORREF oldBk = dc.SetBkColor(RGB(255, 255, 255));
  COLORREF oldText = dc.SetTextColor(RGB(0, 0, 0));
  paint(picture, SRCINVERT);
  paint(maskDc, SRCAND);
  paint(picture, SRCINVERT);
  dc.SetBkColor(oldBk);
  dc.SetTextColor(oldText);
}

bool CBmp::CopyToClipboard(Clipboard& clipboard) const {
  if (!bitmap_ || !clipboard.Open()) return false;
  clipboard.Empty();
  bool ok = clipboard.SetBitmap(bitmap_->Copy());
  if (palette_ && !clipboard.SetPalette(palette_->Copy())) ok = false;
  clipboard.Close();
  return ok;
}

bool CBmp::PasteFromClipboard(Clipboard& clipboard) {
  if (!clipboard.Open()) return false;
  HPALETTE palette = clipboard.GetPalette();
  HBITMAP offered = clipboard.GetBitmap();
  if (!offered) {
    clipboard.Close();
    return false;
  }
  // A compatible bitmap of the same size, filled by a straight copy.
  HBITMAP copy = Bitmap::Create(offered->width(), offered->height());
  if (copy) {
    DeviceContext from(offered), to(copy);
    BitBlt(to, 0, 0, copy->width(), copy->height(), from, 0, 0, SRCCOPY);
  }
  clipboard.Close();
  if (!copy) return false;
  Attach(std::move(copy), palette ? palette->Copy() : nullptr);
  return true;
}

}  // namespace quendrolix
