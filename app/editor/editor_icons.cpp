#include "editor_icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <functional>

#include "image_editor.h"

namespace quendrolix::app {
namespace {

constexpr int kSize = 24;  // drawn on a 24 x 24 grid, like the main toolbar's
const QColor kInk(40, 40, 48);
const QColor kBlue(40, 90, 190);
const QColor kSky(150, 190, 235);
const QColor kGrass(60, 150, 70);

QIcon Draw(const std::function<void(QPainter&)>& draw) {
  QPixmap pixmap(kSize * 2, kSize * 2);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.scale(2, 2);
  draw(p);
  p.end();
  return QIcon(pixmap);
}

// A small landscape picture: what the editor works on.
void Picture(QPainter& p, QRectF r) {
  p.setPen(QPen(kInk, 1));
  p.setBrush(kSky);
  p.drawRect(r);
  p.setPen(Qt::NoPen);
  p.setBrush(kGrass);
  p.drawRect(QRectF(r.left() + 0.5, r.bottom() - r.height() / 3, r.width() - 1, r.height() / 3));
}

void Arrow(QPainter& p, QPointF tip, qreal dx, qreal dy) {
  // A filled head pointing along (dx, dy).
  QPointF side(-dy * 3, dx * 3);
  QPointF back(tip.x() - dx * 5, tip.y() - dy * 5);
  p.setPen(Qt::NoPen);
  p.setBrush(kBlue);
  p.drawPolygon(QPolygonF({tip, back + side, back - side}));
}

// A turning arrow around the picture's corner with the number of degrees.
void Turn(QPainter& p, const char* degrees) {
  Picture(p, QRectF(2.5, 8.5, 13, 13));
  p.setPen(QPen(kBlue, 2));
  p.setBrush(Qt::NoBrush);
  p.drawArc(QRectF(8, 2, 14, 14), 90 * 16, -200 * 16);
  Arrow(p, QPointF(13, 15.5), -1, 0.15);
  p.setPen(kInk);
  QFont font = p.font();
  font.setPixelSize(7);
  font.setBold(true);
  p.setFont(font);
  p.drawText(QRectF(10, 0, 14, 9), Qt::AlignRight | Qt::AlignTop, degrees);
}

void Mirror(QPainter& p, bool horizontal) {
  p.save();
  if (!horizontal) {
    p.translate(kSize, 0);
    p.rotate(90);
  }
  p.setPen(QPen(kInk, 1));
  p.setBrush(kBlue);
  p.drawPolygon(QPolygonF({QPointF(10, 5), QPointF(10, 19), QPointF(2, 19)}));
  p.setBrush(kSky);
  p.drawPolygon(QPolygonF({QPointF(14, 5), QPointF(14, 19), QPointF(22, 19)}));
  p.setPen(QPen(kInk, 1, Qt::DashLine));
  p.drawLine(QPointF(12, 2), QPointF(12, 22));
  p.restore();
}

}  // namespace

QIcon EditorIcon(int command) {
  switch (command) {
    case ImageEditor::kSave:
      return Draw([](QPainter& p) {
        Picture(p, QRectF(3.5, 3.5, 17, 12));
        p.setPen(QPen(kBlue, 2));
        p.drawLine(QPointF(12, 12), QPointF(12, 20));
        Arrow(p, QPointF(12, 23), 0, 1);
      });
    case ImageEditor::kUndo:
    case ImageEditor::kRedo:
      return Draw([command](QPainter& p) {
        if (command == ImageEditor::kRedo) {
          p.translate(kSize, 0);
          p.scale(-1, 1);
        }
        p.setPen(QPen(kBlue, 2.2));
        p.setBrush(Qt::NoBrush);
        QPainterPath path;
        path.moveTo(7, 9);
        path.lineTo(15, 9);
        path.cubicTo(22, 9, 22, 20, 15, 20);
        path.lineTo(9, 20);
        p.drawPath(path);
        Arrow(p, QPointF(3, 9), -1, 0);
      });
    case ImageEditor::kRotate90:
      return Draw([](QPainter& p) { Turn(p, "90"); });
    case ImageEditor::kRotate180:
      return Draw([](QPainter& p) { Turn(p, "180"); });
    case ImageEditor::kRotate270:
      return Draw([](QPainter& p) { Turn(p, "270"); });
    case ImageEditor::kFlipHorizontal:
      return Draw([](QPainter& p) { Mirror(p, true); });
    case ImageEditor::kFlipVertical:
      return Draw([](QPainter& p) { Mirror(p, false); });
    case ImageEditor::kCrop:
      return Draw([](QPainter& p) {
        Picture(p, QRectF(6.5, 6.5, 12, 12));
        p.setPen(QPen(kInk, 2));
        p.drawPolyline(QPolygonF({QPointF(6, 1), QPointF(6, 18), QPointF(23, 18)}));
        p.drawPolyline(QPolygonF({QPointF(1, 6), QPointF(18, 6), QPointF(18, 23)}));
      });
    case ImageEditor::kResize:
      return Draw([](QPainter& p) {
        Picture(p, QRectF(2.5, 10.5, 11, 11));
        p.setPen(QPen(kInk, 1, Qt::DashLine));
        p.setBrush(Qt::NoBrush);
        p.drawRect(QRectF(2.5, 2.5, 19, 19));
        p.setPen(QPen(kBlue, 2));
        p.drawLine(QPointF(12, 12), QPointF(19, 5));
        Arrow(p, QPointF(21, 3), 0.7, -0.7);
      });
    case ImageEditor::kGreyscale:
      return Draw([](QPainter& p) {
        Picture(p, QRectF(2.5, 4.5, 19, 15));
        p.setPen(Qt::NoPen);
        QLinearGradient grey(12, 0, 22, 0);
        grey.setColorAt(0, QColor(90, 90, 90));
        grey.setColorAt(1, QColor(220, 220, 220));
        p.setBrush(grey);
        p.drawRect(QRectF(12, 5, 9, 14));
      });
    case ImageEditor::kBrightnessContrast:
      return Draw([](QPainter& p) {
        p.setPen(QPen(kInk, 1));
        p.setBrush(QColor(250, 210, 60));
        p.drawEllipse(QRectF(5, 5, 14, 14));
        p.setBrush(kInk);
        p.drawPie(QRectF(5, 5, 14, 14), 90 * 16, 180 * 16);
      });
    default:
      return {};
  }
}

}  // namespace quendrolix::app
