#pragma once

#include <QCheckBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>

#include "image/image_preview.h"

namespace quendrolix::app {

// The "Preview" panel beside the image-open dialogs: the selected image fitted into an
// area, its size, and "Show Preview" (remembered for the run). The rules are the core's
// ImagePreviewPanel; this binds widgets to them.
class ImagePreviewWidget : public QGroupBox {
  Q_OBJECT

 public:
  explicit ImagePreviewWidget(QWidget* parent = nullptr);

  // The dialog's selection moved to `path` (a file or not).
  void SelectionChanged(const QString& path);
  // The dialog closed with OK.
  void Ok() { panel_.Ok(); }

  QCheckBox* showPreview() const { return show_; }
  QLabel* widthLabel() const { return width_; }
  QLabel* heightLabel() const { return height_; }
  QWidget* area() const { return area_; }
  const ImagePreviewPanel& panel() const { return panel_; }

 private:
  void ShowTexts();

  ImagePreviewPanel panel_;
  QWidget* area_;
  QLabel* width_;
  QLabel* height_;
  QCheckBox* show_;
};

// A Qt file dialog (not the desktop's own, which takes no extra widgets) with the
// preview panel at its right.
class PreviewFileDialog : public QFileDialog {
  Q_OBJECT

 public:
  PreviewFileDialog(QWidget* parent, const QString& title, const QString& folder,
                    const QString& filter, bool multiple);
  ImagePreviewWidget* preview() const { return preview_; }
  void accept() override;

 private:
  ImagePreviewWidget* preview_;
};

}  // namespace quendrolix::app
