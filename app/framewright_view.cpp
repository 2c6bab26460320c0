#include "framewright_view.h"

#include <QPaintEvent>
#include <QPainter>
#include <QScreen>

#include "main_frame.h"

namespace quendrolix::app {

CFramewrightView::CFramewrightView(CMainFrame& frame, CFramewrightDoc& doc, MainFrameState& state,
                                   QWidget* parent)
    : QWidget(parent), frame_(frame), doc_(doc), state_(state) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setMinimumSize(1, 1);
}

CFramewrightView::~CFramewrightView() {
  // The end of the program: keep what the commands changed in the settings.
  if (started_) doc_.store().Save();
}

QColor CFramewrightView::BackgroundColour() const {
  uint32_t c = settings_.backgroundColour;  // 0x00BBGGRR
  return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
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
  source_ = std::move(source);
  ReleasePicture();
  update();
}

void CFramewrightView::ReleasePicture() {
  bool had = !picture_.isNull();
  picture_ = QImage();
  picturePath_.clear();
  if (had) emit pictureChanged();
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
  picture_ = source_ ? source_->Load(path) : QImage();
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
  if (editorOn_ || picture_.isNull()) return;
  if (source_) source_->StampLogo(picture_, doc_);
  QPoint at = PicturePosition(size(), picture_.size());
  painter.drawImage(at, picture_);
  if (settings_.frameImages) DrawImageFrame(painter, at, picture_.size());
  state_.projectSize = ProjectSize{picture_.width(), picture_.height()};
}

}  // namespace quendrolix::app
