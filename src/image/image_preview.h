#pragma once

// The rules of the preview panel of the image-open dialogs; the Qt dialog only binds its
// widgets to this.

#include <string>

#include "image/cbmp.h"

namespace quendrolix {

// True when the file's extension, lower-cased, is one the panel previews (bmp, cri, pcx,
// png, tga, jpg, jpeg, tif, tiff, dib, rle, gif, and the photographs' webp, heic, heif).
bool IsPreviewableFile(const std::string& path);

struct PreviewRect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
};
// The picture stretched into the area with its aspect ratio kept, centred along the side
// it does not fill.
PreviewRect FitPreview(int imageWidth, int imageHeight, int areaWidth, int areaHeight);

class ImagePreviewPanel {
 public:
  // "Show Preview": kept for as long as the program runs, shared by every such dialog.
  static bool ShowPreview();
  static void SetShowPreview(bool on);

  // The selection changed: loads the file when the panel previews it. Returns true when
  // there is a picture to show.
  bool SelectionChanged(const std::string& path);
  // The check box was switched; switching off clears the panel.
  void ShowPreviewChanged(bool on);
  // OK closes the dialog: the previewed path is forgotten.
  void Ok();
  void Clear();

  const CBmp& picture() const { return picture_; }
  const std::string& path() const { return path_; }
  // "Width: %d pixels" and "Height: %d pixels", or empty when nothing is shown.
  const std::string& widthText() const { return widthText_; }
  const std::string& heightText() const { return heightText_; }
  // Draws the picture into the preview area of the target, fitted, after filling it with
  // the background colour.
  void Paint(DeviceContext& dc, int areaX, int areaY, int areaWidth, int areaHeight,
             COLORREF background);

 private:
  CBmp picture_;
  std::string path_;
  std::string widthText_;
  std::string heightText_;
};

}  // namespace quendrolix
