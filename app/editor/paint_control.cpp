#include "paint_control.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>

#include "qt_bitmap.h"

namespace quendrolix::app {

PaintControl::PaintControl(QWidget* parent) : QWidget(parent) {
  setObjectName("paintControl");
  setFocusPolicy(Qt::StrongFocus);
  setMouseTracking(false);
  setCursor(Qt::CrossCursor);
  setAutoFillBackground(true);
}

void PaintControl::SetPicture(const HBITMAP& picture) {
  image_ = picture ? ImageFromBitmap(picture) : QImage();
  selection_ = {};
  dragging_ = false;
  emit selectionChanged();
  update();
}

void PaintControl::SetSelection(const edit::EditRect& selection) {
  selection_ = image_.isNull() ? edit::EditRect{}
                               : edit::ClipToPicture(selection, image_.width(), image_.height());
  emit selectionChanged();
  update();
}

QRect PaintControl::PictureRect() const {
  if (image_.isNull()) return {};
  QSize shown = image_.size();
  if (shown.width() > width() || shown.height() > height())
    shown = shown.scaled(size(), Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
  return QRect(QPoint((width() - shown.width()) / 2, (height() - shown.height()) / 2), shown);
}

QPoint PaintControl::ToPicture(QPoint point) const {
  QRect shown = PictureRect();
  if (shown.isEmpty()) return {};
  int x = static_cast<int>(int64_t{point.x() - shown.x()} * image_.width() / shown.width());
  int y = static_cast<int>(int64_t{point.y() - shown.y()} * image_.height() / shown.height());
  return QPoint(std::clamp(x, 0, image_.width()), std::clamp(y, 0, image_.height()));
}

QPoint PaintControl::ToWidget(QPoint point) const {
  QRect shown = PictureRect();
  if (shown.isEmpty()) return {};
  return QPoint(
      shown.x() + static_cast<int>(int64_t{point.x()} * shown.width() / image_.width()),
      shown.y() + static_cast<int>(int64_t{point.y()} * shown.height() / image_.height()));
}

void PaintControl::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), palette().color(QPalette::Dark));
  if (image_.isNull()) {
    painter.setPen(palette().color(QPalette::BrightText));
    painter.drawText(rect(), Qt::AlignCenter, "No picture to edit");
    return;
  }
  QRect shown = PictureRect();
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  painter.drawImage(shown, image_);
  if (!selection_.IsEmpty()) {
    QRect area(ToWidget(QPoint(selection_.x, selection_.y)),
               ToWidget(QPoint(selection_.x + selection_.width, selection_.y + selection_.height)));
    // Dim what the crop would take away, and outline what it keeps.
    QPainterPath outside;
    outside.addRect(shown);
    QPainterPath inside;
    inside.addRect(area);
    painter.fillPath(outside.subtracted(inside), QColor(0, 0, 0, 110));
    painter.setPen(QPen(Qt::white, 1, Qt::DashLine));
    painter.drawRect(area.adjusted(0, 0, -1, -1));
  }
}

void PaintControl::DragTo(QPoint point) {
  QPoint end = ToPicture(point);
  int left = std::min(anchor_.x(), end.x()), right = std::max(anchor_.x(), end.x());
  int top = std::min(anchor_.y(), end.y()), bottom = std::max(anchor_.y(), end.y());
  SetSelection({left, top, right - left, bottom - top});
}

void PaintControl::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || image_.isNull()) return QWidget::mousePressEvent(event);
  dragging_ = true;
  anchor_ = ToPicture(event->position().toPoint());
  SetSelection({});
}

void PaintControl::mouseMoveEvent(QMouseEvent* event) {
  if (dragging_) DragTo(event->position().toPoint());
}

void PaintControl::mouseReleaseEvent(QMouseEvent* event) {
  if (!dragging_ || event->button() != Qt::LeftButton) return QWidget::mouseReleaseEvent(event);
  dragging_ = false;
  DragTo(event->position().toPoint());
}

void PaintControl::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape && !selection_.IsEmpty()) {
    ClearSelection();
    return;
  }
  QWidget::keyPressEvent(event);
}

}  // namespace quendrolix::app
