#include "image/picture_limits.h"

#include "platform/gdi/dib.h"

namespace quendrolix {

namespace {
struct PictureSettings {
  int megapixels = kDefaultPictureMegapixels;
  uint32_t background = 0x00C0C0C0;
};
PictureSettings& Settings() {
  static PictureSettings settings;
  return settings;
}
}  // namespace

void SetPictureMegapixels(int megapixels) {
  Settings().megapixels = megapixels < 1 ? kDefaultPictureMegapixels : megapixels;
}

int PictureMegapixels() {
  return Settings().megapixels;
}

int64_t PicturePixelBudget() {
  const int64_t budget = int64_t{Settings().megapixels} * 1000000;
  return budget < DibPixelLimit() ? budget : DibPixelLimit();
}

bool PictureWithinBudget(int64_t width, int64_t height) {
  return width > 0 && height > 0 && width <= kMaxImageDimension && height <= kMaxImageDimension &&
         width * height <= PicturePixelBudget();
}

bool CodedBytesCanHold(uint64_t fileBytes, uint64_t decodedBytes, uint64_t bestRatio) {
  // Compared by division so that no product can overflow.
  if (bestRatio == 0) return false;
  return decodedBytes / bestRatio <= fileBytes;
}

void SetPictureBackground(uint32_t colourRef) {
  Settings().background = colourRef & 0x00FFFFFF;
}

uint32_t PictureBackground() {
  return Settings().background;
}

}  // namespace quendrolix
