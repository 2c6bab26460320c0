#include "framewright_view.h"

#include <algorithm>

#include <QFileInfo>
#include <QPaintEvent>
#include <QPainter>
#include <QScreen>

#include "image/edit/image_edit.h"
#include "main_frame.h"
#include "qt_bitmap.h"

namespace quendrolix::app {

CFramewrightView::CFramewrightView(CMainFrame& frame, CFramewrightDoc& doc, MainFrameState& state,
                                   QWidget* parent)
    : QWidget(parent),
      frame_(frame),
      doc_(doc),
      state_(state),
      source_(std::make_unique<ViewPictureSource>()) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setMinimumSize(1, 1);
}

CFramewrightView::~CFramewrightView() {
  // The end of the program: keep what the commands changed in the settings.
  if (started_) doc_.store().Save();
}

QColor CFramewrightView::BackgroundColour() const {
  return ColourFromColorref(settings_.backgroundColour);
}

void CFramewrightView::RunStartup() {
  if (started_) return;
  started_ = true;
  QScreen* screen = this->screen();
  int depth = screen ? screen->depth() : 32;
  RunStartupSequence(doc_, settings_, depth, frame_.MakeStartupHooks());
  update();
  emit startupFinished();
}

void CFramewrightView::SetPictureSource(std::unique_ptr<ViewPictureSource> source) {
  source_ = source ? std::move(source) : std::make_unique<ViewPictureSource>();
  ReleasePicture();
  update();
}

QSize CFramewrightView::pictureSize() const {
  int width = 0, height = 0;
  return picture_.GetSize(width, height) ? QSize(width, height) : QSize(0, 0);
}

void CFramewrightView::ReleasePicture() {
  bool had = picture_.IsValid();
  picture_.Release();
  picturePath_.clear();
  if (had) emit pictureChanged();
}

void CFramewrightView::AdoptPicture(CBmp&& picture, const std::string& path) {
  QSize before = pictureSize();
  picture_ = std::move(picture);
  picturePath_ = path;
  if (pictureSize() != before) emit pictureChanged();
  update();
}

void CFramewrightView::ReloadPicture() {
  picturePath_.clear();
  update();
}

void CFramewrightView::SetEditorOn(bool on) {
  editorOn_ = on;
  update();
}

QPoint CFramewrightView::PicturePosition(QSize client, QSize picture) {
  int x = (client.width() - picture.width()) / 2;
  int y = (client.height() - picture.height()) / 2;
  return QPoint(x > 0 ? x : 0, y > 0 ? y : 0);
}

QSize CFramewrightView::ShownSize(QSize client, QSize picture) {
  // The etched frame takes two pixels on each side.
  const int room = 4;
  const int boxWidth = std::max(client.width() - room, 1);
  const int boxHeight = std::max(client.height() - room, 1);
  if (picture.width() <= boxWidth && picture.height() <= boxHeight) return picture;
  int width = 0, height = 0;
  edit::FitSize(picture.width(), picture.height(), boxWidth, boxHeight, width, height);
  return QSize(width, height);
}

void CFramewrightView::DrawImageFrame(QPainter& painter, QPoint at, QSize picture) {
  // The rectangle from (x - 2, y - 2) to (x + w + 1, y + h + 1), its right and bottom edges
  // drawn one pixel inside (x + w, y + h): just outside the picture. White shifted one
  // pixel right and down first, then grey over the unshifted one.
  auto frameRect = [&](int left, int top, int right, int bottom, QColor colour) {
    if (right <= left || bottom <= top) return;
    painter.fillRect(left, top, right - left, 1, colour);
    painter.fillRect(left, bottom - 1, right - left, 1, colour);
    painter.fillRect(left, top, 1, bottom - top, colour);
    painter.fillRect(right - 1, top, 1, bottom - top, colour);
  };
  int left = at.x() - 2, top = at.y() - 2;
  int right = at.x() + picture.width() + 1, bottom = at.y() + picture.height() + 1;
  frameRect(left + 1, top + 1, right + 1, bottom + 1, Qt::white);
  frameRect(left, top, right, bottom, QColor(0x80, 0x80, 0x80));
}

void CFramewrightView::LoadSelectedPicture() {
  std::string path = doc_.SelectedImagePath();
  if (path.empty() || path == picturePath_) return;
  QSize before = pictureSize();
  if (!source_->Load(path, picture_)) picture_.Release();
  picturePath_ = path;
  if (pictureSize() != before) emit pictureChanged();
}

void CFramewrightView::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  painter.fillRect(event->rect(), BackgroundColour());
  if (!started_) {
    // Start-up shows messages and opens files: run it just after this first paint.
    if (!startupQueued_) {
      startupQueued_ = true;
      QMetaObject::invokeMethod(this, &CFramewrightView::RunStartup, Qt::QueuedConnection);
    }
    return;
  }
  if (!editorOn_) LoadSelectedPicture();
  if (editorOn_) return;
  if (!picture_.IsValid()) {
    // Rather than an empty screen: say why the selected picture is not shown.
    if (!picturePath_.empty()) {
      QString path = QString::fromStdString(picturePath_);
      painter.setPen(BackgroundColour().lightness() < 128 ? Qt::white : Qt::black);
      painter.drawText(rect().adjusted(12, 12, -12, -12), Qt::AlignCenter | Qt::TextWordWrap,
                       (QFileInfo::exists(path) ? "This file is not a picture the program can "
                                                  "read:\n"
                                                : "The picture is missing:\n") +
                           path);
    }
    return;
  }
  source_->StampLogo(picture_, doc_);
  QImage shown = RenderPicture(picture_, BackgroundColour());
  if (shown.isNull()) return;
  // The status pane shows the picture's own size, whatever size it is shown at.
  state_.projectSize = ProjectSize{shown.width(), shown.height()};
  const QSize fitted = ShownSize(size(), shown.size());
  if (fitted != shown.size())
    shown = shown.scaled(fitted, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
  QPoint at = PicturePosition(size(), shown.size());
  painter.drawImage(at, shown);
  if (settings_.frameImages) DrawImageFrame(painter, at, shown.size());
}

}  // namespace quendrolix::app
