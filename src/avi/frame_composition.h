#pragma once

// How every image becomes a frame: the user's logo drawn onto it (opaque, or with one key
// colour left transparent), then the picture turned into a DIB block at the project's
// colour depth. The view, the AVI builder, the MPEG encoder's image list, morphing and the
// frame tools all compose through here, so a frame looks the same wherever it is written.

#include <functional>
#include <string>

#include "image/cbmp.h"
#include "platform/gdi/dib.h"
#include "platform/gdi/gdi.h"
#include "project/framewright_doc.h"

namespace quendrolix {

// The logo pictures that Prepare logo makes from the logo settings. They live as long as
// the document and are rebuilt only by PrepareLogo.
struct LogoPictures {
  // The logo for opaque drawing ("LogoBitmap").
  CBmp logoBitmap;
  // The logo for transparent drawing ("TransparentLogo"): the logo image with its palette,
  // black wherever it had the key colour...
  CBmp transparentLogo;
  // ...and its mask, a colour bitmap of the same size: white where the logo has the key
  // colour, black elsewhere.
  HBITMAP transparentMask;

  void Release();
};

// The program's logo pictures (one document per run).
LogoPictures& TheLogoPictures();

// Prepare logo: with bUseLogo 0 nothing changes (pictures prepared earlier stay). With
// bUseTransparent 1 the transparent logo is rebuilt from sLogoFile, its key colour being
// the logo's own pixel (0, 0) when bColorFromLogo is 1 and crTrans otherwise; a file that
// cannot be loaded leaves no transparent logo. Otherwise sLogoFile is loaded into the
// opaque logo (empty when it cannot be loaded).
void PrepareLogo(const LogoSettings& settings, LogoPictures& pictures);

// Draws the logo onto the picture at (nXPos, nYPos), full size, clipped to the picture:
// the mask with SRCAND then the logo with SRCINVERT when transparent, SRCCOPY otherwise.
// Nothing is drawn when bUseLogo is 0 or the needed logo picture is empty. Stamping the
// same picture twice gives the same pixels as stamping it once.
void StampLogo(const LogoSettings& settings, const LogoPictures& pictures, Bitmap& picture);
void StampLogo(const LogoSettings& settings, const LogoPictures& pictures, CBmp& picture);

// The depth a requested bits-per-pixel value gives: up to 8 gives 8, 9 to 23 gives 16,
// 24 and more gives 24.
int FrameDepthFor(int requestedBits);

// The one colour table of every 8-bit frame: a 6 x 6 x 6 colour cube (levels 0, 51, ...,
// 255) followed by 40 greys between the cube's own. The same table serves every frame of
// every build, so the stream's colour table is right for all of its frames.
const HPALETTE& FramePalette();

// MakeFrameDib: the picture as an uncompressed DIB block at `depth` (8, 16 or 24; other
// values as FrameDepthFor makes them). Rows are padded to 4 bytes; 16-bit rows are 5-5-5;
// 8-bit rows index FramePalette() by the nearest colour and carry its 256 entries (colours
// used 256). Null when there is no picture or the block cannot be allocated.
HDIB MakeFrameDib(const Bitmap& picture, int depth);
HDIB MakeFrameDib(const CBmp& picture, int depth);

// The logo settings and pictures a build composes with. The default draws no logo.
struct FrameComposer {
  LogoSettings settings{.bUseLogo = 0};
  const LogoPictures* pictures = nullptr;

  // The document's settings and the program's logo pictures.
  static FrameComposer ForDocument(const CFramewrightDoc& doc,
                                   const LogoPictures& pictures = TheLogoPictures());

  void Stamp(CBmp& picture) const;
  // Loads the image (any format CBmp reads), stamps the logo and makes the frame block at
  // `depth`. Null when the image cannot be loaded; `failure` then says why.
  HDIB LoadFrame(const std::string& path, int depth, std::string* failure = nullptr) const;
};

}  // namespace quendrolix
