#include "tools/morph.h"

#include <cerrno>
#include <cstdlib>

#include "image/dib_functions.h"
#include "image/picture_fit.h"
#include "platform/host/conversion_log.h"
#include "platform/host/user_prompts.h"
#include "tools/extract_frames.h"

namespace quendrolix {
namespace {

constexpr const char* kSaveFailed = "Error: could not save the bitmap";

void ShowSaveFailure(const std::string& name, int error) {
  Prompts().ShowMessage(StringPrintf("%s (file: %s, error: %d)", kSaveFailed, name.c_str(), error));
}

// `source` copied onto a new w x h screen bitmap at (0, 0) with its own size.
HBITMAP CopyOnto(const CBmp& source, int width, int height) {
  HBITMAP picture = Bitmap::Create(width, height);
  if (!picture) return nullptr;
  int w = 0, h = 0;
  source.GetSize(w, h);
  DeviceContext target(picture);
  DeviceContext from(source.bitmap());
  BitBlt(target, 0, 0, w, h, from, 0, 0, SRCCOPY);
  return picture;
}

}  // namespace

std::string MorphFileName(const std::string& folder, int number) {
  return WithTrailingSlash(folder) + StringPrintf("Img%04d.bmp", number);
}

bool MorphImages(std::vector<std::string>& names, const std::string& sourcePath,
                 const std::string& targetPath, const std::string& folder, int steps, int start,
                 const FrameComposer& composer, int screenBitsPerPixel, PictureFit fit) {
  UserPrompts& prompts = Prompts();
  if (screenBitsPerPixel < 24) {
    prompts.ShowMessage(
        "Your current settings indicate that color palette might not be rendered correctly. "
        "The Vuvodidi is designed to work with millions of colors (True color - 24 bits) or 32 "
        "bits. To change the settings please open Control Panel/Display/Settings.");
    return false;
  }
  CBmp loaded;
  if (!loaded.Load(sourcePath)) {
    prompts.ShowMessage("Error: bitmap load failed");
    return false;
  }
  int width = 0, height = 0;
  loaded.GetSize(width, height);
  HBITMAP firstBitmap = CopyOnto(loaded, width, height);
  if (!firstBitmap) {
    prompts.ShowMessage("Error: create bitmap failed");
    return false;
  }
  if (!loaded.Load(targetPath)) {
    prompts.ShowMessage("Error: could not load destination bitmap");
    return false;
  }
  int targetWidth = 0, targetHeight = 0;
  loaded.GetSize(targetWidth, targetHeight);
  HBITMAP targetBitmap = (targetWidth == width && targetHeight == height) ||
                                 fit == PictureFit::kNone || !loaded.bitmap()
                             ? CopyOnto(loaded, width, height)
                             : FitPicture(*loaded.bitmap(), width, height, fit);
  if (!targetBitmap) {
    prompts.ShowMessage("Error: create bitmap failed");
    return false;
  }
  loaded.Release();

  CBmp first, target;
  first.Attach(firstBitmap);
  target.Attach(targetBitmap);
  composer.Stamp(first);
  const std::string firstName = MorphFileName(folder, start);
  errno = 0;
  if (!first.Save(firstName)) {
    ShowSaveFailure(firstName, errno);
    return false;
  }
  names.push_back(firstName);

  composer.Stamp(target);
  const std::string targetName = MorphFileName(folder, start + steps + 1);
  if (!target.Save(targetName)) {
    prompts.ShowMessage(kSaveFailed);
    return false;
  }
  if (!CrossDissolveSteps(names, first, target, folder, steps, start + 1)) return false;
  names.push_back(targetName);
  return true;
}

bool CrossDissolveSteps(std::vector<std::string>& names, CBmp& first, const CBmp& target,
                        const std::string& folder, int steps, int firstNumber) {
  if (!first.IsValid() || !target.IsValid()) return false;
  HDIB current = DibFromBitmapAtDepth(*first.bitmap(), 24, nullptr);
  HDIB goal = DibFromBitmapAtDepth(*target.bitmap(), 24, nullptr);
  if (!current || !goal) {
    Prompts().ShowMessage("Error: create bitmap failed");
    return false;
  }
  uint8_t* c = DibPixels(*current);
  const uint8_t* t = DibPixels(*goal);
  const size_t bytes =
      std::min(current->size() - DibPixelOffset(*current), goal->size() - DibPixelOffset(*goal));
  for (int i = 0; i < steps; ++i) {
    const int k = steps - i;  // steps still to go, this one included
    for (size_t b = 0; b < bytes; ++b) {
      if (c[b] == t[b]) continue;
      const int distance = std::abs(int{t[b]} - int{c[b]}) / k;
      c[b] = static_cast<uint8_t>(t[b] < c[b] ? c[b] - distance : c[b] + distance);
    }
    HBITMAP bitmap = BitmapFromDib(*current, nullptr);
    if (!bitmap) {
      Prompts().ShowMessage("Error: create bitmap failed");
      return false;
    }
    first.Attach(bitmap);
    const std::string name = MorphFileName(folder, firstNumber + i);
    errno = 0;
    if (!first.Save(name)) {
      ShowSaveFailure(name, errno);
      return false;
    }
    names.push_back(name);
  }
  return true;
}

}  // namespace quendrolix
