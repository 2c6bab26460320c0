#pragma once

#include <QImage>
#include <QPoint>
#include <QRect>
#include <QWidget>

#include "image/edit/image_edit.h"

namespace quendrolix::app {

// The image editor's picture: shown whole (scaled down when it is larger than the window,
// never up), centred, with a rectangle the user drags over it for cropping. The selection
// is kept in the picture's own pixels.
class PaintControl : public QWidget {
  Q_OBJECT

 public:
  explicit PaintControl(QWidget* parent = nullptr);

  void SetPicture(const HBITMAP& picture);
  bool HasPicture() const { return !image_.isNull(); }
  QSize pictureSize() const { return image_.size(); }

  // The selection in picture pixels; empty when there is none.
  edit::EditRect Selection() const { return selection_; }
  void SetSelection(const edit::EditRect& selection);
  void ClearSelection() { SetSelection({}); }

  // Where the picture is drawn and at which scale (for tests and the mouse).
  QRect PictureRect() const;
  QPoint ToPicture(QPoint widgetPoint) const;
  QPoint ToWidget(QPoint picturePoint) const;

 signals:
  void selectionChanged();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void DragTo(QPoint widgetPoint);

  QImage image_;
  edit::EditRect selection_;
  bool dragging_ = false;
  QPoint anchor_;  // in picture pixels
};

}  // namespace quendrolix::app
