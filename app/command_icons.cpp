#include "command_icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPolygonF>
#include <cmath>

#include "command_table.h"

namespace quendrolix::app {
namespace {

// Every picture is drawn on a 24 x 24 grid.
constexpr int kSize = 24;

const QColor kInk(40, 40, 48);
const QColor kPaper(252, 252, 248);
const QColor kFilm(52, 52, 60);
const QColor kBlue(40, 90, 190);
const QColor kGreen(40, 150, 60);
const QColor kRed(200, 40, 40);
const QColor kYellow(240, 200, 60);

void Page(QPainter& p, QRectF r) {
  QPainterPath path;
  path.moveTo(r.left(), r.top());
  path.lineTo(r.right() - 5, r.top());
  path.lineTo(r.right(), r.top() + 5);
  path.lineTo(r.right(), r.bottom());
  path.lineTo(r.left(), r.bottom());
  path.closeSubpath();
  p.setPen(QPen(kInk, 1));
  p.setBrush(kPaper);
  p.drawPath(path);
  p.drawLine(QPointF(r.right() - 5, r.top()), QPointF(r.right() - 5, r.top() + 5));
  p.drawLine(QPointF(r.right() - 5, r.top() + 5), QPointF(r.right(), r.top() + 5));
}

void Film(QPainter& p, QRectF r, QColor frame = QColor(120, 170, 230)) {
  p.setPen(Qt::NoPen);
  p.setBrush(kFilm);
  p.drawRect(r);
  p.setBrush(Qt::white);
  for (qreal x = r.left() + 1.5; x + 2 <= r.right(); x += 4) {
    p.drawRect(QRectF(x, r.top() + 1, 2, 2));
    p.drawRect(QRectF(x, r.bottom() - 3, 2, 2));
  }
  p.setBrush(frame);
  p.drawRect(r.adjusted(1.5, 4, -1.5, -4));
}

void Note(QPainter& p, QPointF at, QColor colour = kBlue) {
  p.setPen(QPen(colour, 1.6));
  p.setBrush(colour);
  p.drawEllipse(QRectF(at.x(), at.y() + 7, 5, 4));
  p.drawLine(QPointF(at.x() + 4.6, at.y() + 9), QPointF(at.x() + 4.6, at.y()));
  p.drawLine(QPointF(at.x() + 4.6, at.y()), QPointF(at.x() + 8, at.y() + 3));
}

void Wave(QPainter& p, QRectF r) {
  QPainterPath path;
  path.moveTo(r.left(), r.center().y());
  for (int i = 0; i <= 20; ++i) {
    qreal t = i / 20.0;
    path.lineTo(r.left() + t * r.width(),
                r.center().y() - std::sin(t * 6.283 * 2) * r.height() / 2 * (1 - t * 0.5));
  }
  p.setPen(QPen(kGreen, 1.6));
  p.setBrush(Qt::NoBrush);
  p.drawPath(path);
}

void Arrow(QPainter& p, QPointF from, QPointF to, QColor colour = kInk) {
  p.setPen(QPen(colour, 1.6));
  p.drawLine(from, to);
  QPointF d = to - from;
  qreal len = std::hypot(d.x(), d.y());
  if (len <= 0) return;
  QPointF u = d / len, n(-u.y(), u.x());
  p.setBrush(colour);
  p.drawPolygon(QPolygonF({to, to - u * 4 + n * 3, to - u * 4 - n * 3}));
}

void Label(QPainter& p, QRectF r, const QString& text, QColor colour) {
  QFont font = p.font();
  font.setBold(true);
  font.setPixelSize(static_cast<int>(r.height()));
  p.setFont(font);
  p.setPen(colour);
  p.drawText(r, Qt::AlignCenter, text);
}

void Disc(QPainter& p, QColor colour, const QString& text) {
  p.setPen(QPen(colour.darker(130), 1));
  p.setBrush(colour);
  p.drawEllipse(QRectF(2.5, 2.5, 19, 19));
  Label(p, QRectF(2, 3, 20, 17), text, Qt::white);
}

void Clipboard(QPainter& p) {
  p.setPen(QPen(kInk, 1));
  p.setBrush(QColor(170, 120, 60));
  p.drawRoundedRect(QRectF(4.5, 3.5, 15, 18), 2, 2);
  p.setBrush(kPaper);
  p.drawRect(QRectF(7.5, 6.5, 9, 12));
  p.setBrush(QColor(150, 150, 150));
  p.drawRect(QRectF(9.5, 2.5, 5, 3));
}

void Triangle(QPainter& p, bool up, qreal top, QColor colour = kBlue) {
  p.setPen(Qt::NoPen);
  p.setBrush(colour);
  if (up)
    p.drawPolygon(QPolygonF({QPointF(12, top), QPointF(20, top + 8), QPointF(4, top + 8)}));
  else
    p.drawPolygon(QPolygonF({QPointF(4, top), QPointF(20, top), QPointF(12, top + 8)}));
}

bool Draw(QPainter& p, int id) {
  switch (id) {
    case kIdNewProject:
      Page(p, QRectF(5.5, 2.5, 13, 19));
      return true;
    case kIdOpenProject:
      p.setPen(QPen(kInk, 1));
      p.setBrush(kYellow.darker(115));
      p.drawRect(QRectF(2.5, 5.5, 17, 14));
      p.setBrush(kYellow);
      p.drawPolygon(QPolygonF(
          {QPointF(2.5, 19.5), QPointF(6.5, 10.5), QPointF(22.5, 10.5), QPointF(19.5, 19.5)}));
      return true;
    case kIdSaveProject:
      p.setPen(QPen(kInk, 1));
      p.setBrush(kBlue);
      p.drawRect(QRectF(3.5, 3.5, 17, 17));
      p.setBrush(kPaper);
      p.drawRect(QRectF(6.5, 3.5, 11, 7));
      p.setBrush(QColor(200, 200, 200));
      p.drawRect(QRectF(7.5, 14.5, 9, 6));
      return true;
    case kIdImportImages:
      p.setPen(QPen(kInk, 1));
      p.setBrush(QColor(150, 200, 250));
      p.drawRect(QRectF(2.5, 4.5, 19, 15));
      p.setPen(Qt::NoPen);
      p.setBrush(kYellow);
      p.drawEllipse(QRectF(14, 7, 4, 4));
      p.setBrush(kGreen);
      p.drawPolygon(QPolygonF({QPointF(3, 19), QPointF(10, 10), QPointF(17, 19)}));
      return true;
    case kIdAttachSound:
      Note(p, QPointF(7, 5));
      return true;
    case kIdCreate:
      Film(p, QRectF(2, 5, 20, 14));
      p.setPen(Qt::NoPen);
      p.setBrush(kRed);
      p.drawEllipse(QRectF(9, 9, 6, 6));
      return true;
    case kIdViewAnimation:
      p.setPen(Qt::NoPen);
      p.setBrush(kGreen);
      p.drawPolygon(QPolygonF({QPointF(7, 4), QPointF(19, 12), QPointF(7, 20)}));
      return true;
    case kIdCut:
      p.setPen(QPen(kInk, 1.6));
      p.setBrush(Qt::NoBrush);
      p.drawLine(QPointF(8, 3), QPointF(15, 15));
      p.drawLine(QPointF(16, 3), QPointF(9, 15));
      p.drawEllipse(QRectF(4, 15, 5, 5));
      p.drawEllipse(QRectF(15, 15, 5, 5));
      return true;
    case kIdCopy:
      Page(p, QRectF(3.5, 2.5, 11, 14));
      Page(p, QRectF(9.5, 7.5, 11, 14));
      return true;
    case kIdPaste:
      Clipboard(p);
      return true;
    case kIdAutoPaste:
      Clipboard(p);
      Label(p, QRectF(7, 8, 10, 10), "A", kGreen);
      return true;
    case kIdRecorder:
      p.setPen(QPen(kRed.darker(130), 1));
      p.setBrush(kRed);
      p.drawEllipse(QRectF(5, 5, 14, 14));
      return true;
    case kIdHelpContents:
      Disc(p, kBlue, "?");
      return true;
    case kIdAbout:
      Disc(p, QColor(60, 130, 200), "i");
      return true;
    case kIdExtractImages:
      Film(p, QRectF(1, 2, 13, 12));
      Arrow(p, QPointF(9, 13), QPointF(14, 18));
      p.setPen(QPen(kInk, 1));
      p.setBrush(QColor(150, 200, 250));
      p.drawRect(QRectF(14.5, 15.5, 8, 7));
      return true;
    case kIdJoinAvis:
      Film(p, QRectF(1, 3, 10, 11));
      Film(p, QRectF(13, 10, 10, 11), QColor(240, 170, 90));
      Label(p, QRectF(1, 13, 10, 10), "+", kInk);
      return true;
    case kIdMergeAviSound:
      Film(p, QRectF(1, 3, 15, 12));
      Note(p, QPointF(14, 11), kRed);
      return true;
    case kIdMergeMpgSound:
      Film(p, QRectF(1, 3, 15, 12), QColor(240, 170, 90));
      Note(p, QPointF(14, 11), kRed);
      return true;
    case kIdAviToMpg:
      Film(p, QRectF(1, 2, 11, 10));
      Arrow(p, QPointF(8, 14), QPointF(14, 18));
      Film(p, QRectF(12, 13, 11, 10), QColor(240, 170, 90));
      return true;
    case kIdWavToMp2:
    case kIdWavToMp3:
      Wave(p, QRectF(1, 3, 12, 8));
      Arrow(p, QPointF(6, 13), QPointF(11, 18));
      Label(p, QRectF(11, 11, 12, 12), id == kIdWavToMp2 ? "2" : "3", kBlue);
      return true;
    case kIdMorphing: {
      p.setPen(Qt::NoPen);
      p.setBrush(kBlue);
      p.drawEllipse(QRectF(1, 7, 9, 9));
      p.setBrush(QColor(120, 100, 190));
      p.drawRoundedRect(QRectF(8, 6.5, 9, 10), 3, 3);
      p.setBrush(kRed);
      p.drawRect(QRectF(15, 6, 8, 11));
      return true;
    }
    case kIdImageEditor:
      p.setPen(QPen(kInk, 1));
      p.setBrush(kYellow);
      p.drawPolygon(QPolygonF(
          {QPointF(5, 19), QPointF(16, 4), QPointF(20, 7), QPointF(9, 22), QPointF(4, 23)}));
      return true;
    case kIdMoveUp:
      Triangle(p, true, 7);
      return true;
    case kIdMoveDown:
      Triangle(p, false, 9);
      return true;
    case kIdMoveFirst:
      p.fillRect(QRectF(4, 5, 16, 2.5), kBlue);
      Triangle(p, true, 9);
      return true;
    case kIdMoveLast:
      Triangle(p, false, 7);
      p.fillRect(QRectF(4, 16.5, 16, 2.5), kBlue);
      return true;
    case kIdDeleteImage:
      p.setPen(QPen(kRed, 3, Qt::SolidLine, Qt::RoundCap));
      p.drawLine(QPointF(6, 6), QPointF(18, 18));
      p.drawLine(QPointF(18, 6), QPointF(6, 18));
      return true;
    default:
      return false;
  }
}

}  // namespace

QIcon CommandIcon(int id) {
  QPixmap pixmap(kSize, kSize);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  bool drawn = Draw(painter, id);
  painter.end();
  return drawn ? QIcon(pixmap) : QIcon();
}

}  // namespace quendrolix::app
