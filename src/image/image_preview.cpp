#include "image/image_preview.h"

#include <algorithm>
#include <cctype>

#include "image/image_io.h"
#include "platform/host/conversion_log.h"

namespace quendrolix {

bool IsPreviewableFile(const std::string& path) {
  static const char* const kExtensions[] = {"BMP", "CRI",  "PCX",  "PNG",  "TGA",
                                            "JPG", "JPEG", "TIF",  "TIFF", "DIB",
                                            "RLE", "GIF",  "WEBP", "HEIC", "HEIF"};
  const std::string ext = UpperExtension(path);
  return std::any_of(std::begin(kExtensions), std::end(kExtensions),
                     [&](const char* e) { return ext == e; });
}

PreviewRect FitPreview(int imageWidth, int imageHeight, int areaWidth, int areaHeight) {
  PreviewRect r;
  if (imageWidth <= 0 || imageHeight <= 0 || areaWidth <= 0 || areaHeight <= 0) return r;
  // Compare the two aspect ratios without rounding: w/h against W/H.
  if (int64_t{imageWidth} * areaHeight >= int64_t{areaWidth} * imageHeight) {
    r.width = areaWidth;
    r.height =
        static_cast<int>(std::max<int64_t>(1, int64_t{imageHeight} * areaWidth / imageWidth));
    r.y = (areaHeight - r.height) / 2;
  } else {
    r.height = areaHeight;
    r.width =
        static_cast<int>(std::max<int64_t>(1, int64_t{imageWidth} * areaHeight / imageHeight));
    r.x = (areaWidth - r.width) / 2;
  }
  return r;
}

namespace {
bool& ShowPreviewSetting() {
  static bool on = true;
  return on;
}
}  // namespace

bool ImagePreviewPanel::ShowPreview() {
  return ShowPreviewSetting();
}
void ImagePreviewPanel::SetShowPreview(bool on) {
  ShowPreviewSetting() = on;
}

void ImagePreviewPanel::Clear() {
  picture_.Release();
  path_.clear();
  widthText_.clear();
  heightText_.clear();
}

bool ImagePreviewPanel::SelectionChanged(const std::string& path) {
  if (!ShowPreview()) return false;
  Clear();
  if (!IsPreviewableFile(path) || !picture_.Load(path)) return false;
  int width = 0, height = 0;
  picture_.GetSize(width, height);
  path_ = path;
  widthText_ = StringPrintf("Width: %d pixels", width);
  heightText_ = StringPrintf("Height: %d pixels", height);
  return true;
}

void ImagePreviewPanel::ShowPreviewChanged(bool on) {
  SetShowPreview(on);
  if (!on) Clear();
}

void ImagePreviewPanel::Ok() {
  path_.clear();
}

void ImagePreviewPanel::Paint(DeviceContext& dc, int areaX, int areaY, int areaWidth,
                              int areaHeight, COLORREF background) {
  dc.FillRect(areaX, areaY, areaWidth, areaHeight, background);
  int width = 0, height = 0;
  if (!picture_.GetSize(width, height)) return;
  PreviewRect r = FitPreview(width, height, areaWidth, areaHeight);
  picture_.Draw(dc, areaX + r.x, areaY + r.y, r.width, r.height, 0, 0, true, true);
}

}  // namespace quendrolix
