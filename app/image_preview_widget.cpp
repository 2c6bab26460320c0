#include "image_preview_widget.h"

#include <QGridLayout>
#include <QPainter>
#include <QVBoxLayout>

#include "file_chooser.h"
#include "qt_bitmap.h"

namespace quendrolix::app {

namespace {

// The preview area: the panel paints into a screen bitmap of the area's size, which is
// then shown as it is.
class Area : public QWidget {
 public:
  Area(ImagePreviewPanel& panel, QWidget* parent) : QWidget(parent), panel_(panel) {
    setObjectName("previewArea");
    setMinimumSize(160, 160);
    setAttribute(Qt::WA_OpaquePaintEvent);
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    HBITMAP surface = Bitmap::CreateForOverwrite(width(), height());
    if (!surface) return;
    DeviceContext dc(surface);
    panel_.Paint(dc, 0, 0, width(), height(), ColorrefFromColour(palette().color(QPalette::Base)));
    painter.drawImage(0, 0, ImageFromBitmap(*surface));
  }

 private:
  ImagePreviewPanel& panel_;
};

}  // namespace

ImagePreviewWidget::ImagePreviewWidget(QWidget* parent) : QGroupBox("Preview", parent) {
  setObjectName("preview");
  area_ = new Area(panel_, this);
  width_ = new QLabel(this);
  height_ = new QLabel(this);
  show_ = new QCheckBox("Show Preview", this);
  show_->setChecked(ImagePreviewPanel::ShowPreview());
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(area_, 1);
  layout->addWidget(width_);
  layout->addWidget(height_);
  layout->addWidget(show_);
  connect(show_, &QCheckBox::toggled, this, [this](bool on) {
    panel_.ShowPreviewChanged(on);
    ShowTexts();
  });
}

void ImagePreviewWidget::SelectionChanged(const QString& path) {
  panel_.SelectionChanged(path.toStdString());
  ShowTexts();
}

void ImagePreviewWidget::ShowTexts() {
  width_->setText(QString::fromStdString(panel_.widthText()));
  height_->setText(QString::fromStdString(panel_.heightText()));
  area_->update();
}

PreviewFileDialog::PreviewFileDialog(QWidget* parent, const QString& title, const QString& folder,
                                     const QString& filter, bool multiple)
    : QFileDialog(parent, title, folder, QtFileFilter(filter)) {
  setOption(QFileDialog::DontUseNativeDialog);
  setAcceptMode(QFileDialog::AcceptOpen);
  setFileMode(multiple ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
  preview_ = new ImagePreviewWidget(this);
  // The Qt dialog lays itself out on a grid: the panel takes a column of its own.
  if (auto* grid = qobject_cast<QGridLayout*>(layout()))
    grid->addWidget(preview_, 0, grid->columnCount(), grid->rowCount(), 1);
  else
    layout()->addWidget(preview_);
  connect(this, &QFileDialog::currentChanged, preview_, &ImagePreviewWidget::SelectionChanged);
  resize(sizeHint().width() + 200, sizeHint().height());
}

void PreviewFileDialog::accept() {
  preview_->Ok();
  QFileDialog::accept();
}

}  // namespace quendrolix::app
