#include "avi/frame_composition.h"

#include "image/dib_functions.h"

namespace quendrolix {

void LogoPictures::Release() {
  logoBitmap.Release();
  transparentLogo.Release();
  transparentMask.reset();
}

LogoPictures& TheLogoPictures() {
  static LogoPictures pictures;
  return pictures;
}

namespace {

constexpr Bgrx kColourBits = 0x00FFFFFF;

// Loads the transparent logo and cuts its mask out of it.
void PrepareTransparentLogo(const LogoSettings& settings, LogoPictures& pictures) {
  pictures.transparentLogo.Release();
  pictures.transparentMask.reset();
  CBmp loaded;
  if (!loaded.Load(settings.sLogoFile)) return;
  const HBITMAP& logo = loaded.bitmap();
  const int width = logo->width(), height = logo->height();
  Bgrx key =
      settings.bColorFromLogo ? logo->Pixel(0, 0) & kColourBits : BgrxFromColour(settings.crTrans);
  HBITMAP mask = Bitmap::CreateForOverwrite(width, height);
  if (!mask) return;
  for (int y = 0; y < height; ++y) {
    Bgrx* logoRow = logo->Row(y);
    Bgrx* maskRow = mask->Row(y);
    for (int x = 0; x < width; ++x) {
      if ((logoRow[x] & kColourBits) == key) {
        maskRow[x] = kBgrxWhite;
        logoRow[x] = 0;
      } else {
        maskRow[x] = 0;
      }
    }
  }
  pictures.transparentLogo = std::move(loaded);
  pictures.transparentMask = std::move(mask);
}

}  // namespace

void PrepareLogo(const LogoSettings& settings, LogoPictures& pictures) {
  if (!settings.bUseLogo) return;
  if (settings.bUseTransparent) {
    PrepareTransparentLogo(settings, pictures);
  } else {
    pictures.logoBitmap.Load(settings.sLogoFile);  // empty when it cannot be loaded
  }
}

void StampLogo(const LogoSettings& settings, const LogoPictures& pictures, Bitmap& picture) {
  if (!settings.bUseLogo) return;
  // The target context shares the picture's pixels; it must not free them.
  HBITMAP target(&picture, [](Bitmap*) {});
  DeviceContext dc(target);
  if (settings.bUseTransparent) {
    const HBITMAP& logo = pictures.transparentLogo.bitmap();
    if (!logo || !pictures.transparentMask) return;
    DeviceContext maskDc(pictures.transparentMask);
    DeviceContext logoDc(logo);
    BitBlt(dc, settings.nXPos, settings.nYPos, logo->width(), logo->height(), maskDc, 0, 0, SRCAND);
    BitBlt(dc, settings.nXPos, settings.nYPos, logo->width(), logo->height(), logoDc, 0, 0,
           SRCINVERT);
  } else {
    const HBITMAP& logo = pictures.logoBitmap.bitmap();
    if (!logo) return;
    DeviceContext logoDc(logo);
    BitBlt(dc, settings.nXPos, settings.nYPos, logo->width(), logo->height(), logoDc, 0, 0,
           SRCCOPY);
  }
}

void StampLogo(const LogoSettings& settings, const LogoPictures& pictures, CBmp& picture) {
  if (picture.bitmap()) StampLogo(settings, pictures, *picture.bitmap());
}

int FrameDepthFor(int requestedBits) {
  if (requestedBits <= 8) return 8;
  if (requestedBits < 24) return 16;
  return 24;
}

const HPALETTE& FramePalette() {
  // The cube keeps every hue within 26 levels of its nearest entry in each channel, and the
  // grey ramp gives 46 neutral shades, so greys, text and logos stay untinted. A palette
  // fitted to the first image would misrender every later image that differs from it.
  static const HPALETTE palette = DefaultPalette(8);
  return palette;
}

HDIB MakeFrameDib(const Bitmap& picture, int depth) {
  depth = FrameDepthFor(depth);
  HDIB dib = DibFromBitmapAtDepth(picture, depth, depth == 8 ? FramePalette() : HPALETTE());
  if (dib) dib->header().biClrUsed = depth == 8 ? 256 : 0;
  return dib;
}

HDIB MakeFrameDib(const CBmp& picture, int depth) {
  if (!picture.bitmap()) return nullptr;
  return MakeFrameDib(*picture.bitmap(), depth);
}

FrameComposer FrameComposer::ForDocument(const CFramewrightDoc& doc, const LogoPictures& pictures) {
  return FrameComposer{doc.logo, &pictures};
}

void FrameComposer::Stamp(CBmp& picture) const {
  if (pictures) StampLogo(settings, *pictures, picture);
}

HDIB FrameComposer::LoadFrame(const std::string& path, int depth, std::string* failure) const {
  CBmp picture;
  if (!picture.Load(path)) {
    if (failure) *failure = picture.loadFailure();
    return nullptr;
  }
  Stamp(picture);
  HDIB dib = MakeFrameDib(picture, depth);
  if (!dib && failure) *failure = "out of memory";
  return dib;
}

}  // namespace quendrolix
