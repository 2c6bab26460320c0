#pragma once

#include <QImage>
#include <QWidget>
#include <memory>
#include <string>

#include "image/cbmp.h"
#include "project/framewright_doc.h"
#include "project/startup_sequence.h"

namespace quendrolix::app {

class CMainFrame;

// Where the view gets the picture of the selected image and how the logo is stamped on
// it. The default source decodes through CBmp and stamps nothing; the main frame installs
// one that stamps the project's logo.
class ViewPictureSource {
 public:
  virtual ~ViewPictureSource() = default;
  // Reads the image file into `picture`; false (and an empty picture) when it cannot.
  virtual bool Load(const std::string& path, CBmp& picture) { return picture.Load(path); }
  // Stamps the project's logo onto the picture as it is shown (on every paint).
  virtual void StampLogo(CBmp& /*picture*/, const CFramewrightDoc& /*doc*/) {}
};

// The client area: the background colour and, centred in it, the selected image with an
// etched frame around it. Its first paint runs the start-up sequence; its destruction
// (the end of the program) saves the settings file.
class CFramewrightView : public QWidget {
  Q_OBJECT

 public:
  CFramewrightView(CMainFrame& frame, CFramewrightDoc& doc, MainFrameState& state,
                   QWidget* parent = nullptr);
  ~CFramewrightView() override;

  ViewSettings& settings() { return settings_; }
  bool started() const { return started_; }
  // Runs the start-up sequence unless it has run already. The first paint asks for it.
  void RunStartup();

  // Null restores the default source.
  void SetPictureSource(std::unique_ptr<ViewPictureSource> source);
  // Forgets the displayed picture and its path (New project).
  void ReleasePicture();
  // Shows `picture` as the image of `path` (a pasted image, just saved there).
  void AdoptPicture(CBmp&& picture, const std::string& path);
  // Loads the selected image again on the next paint (the logo changed).
  void ReloadPicture();
  // The displayed picture, as Copy puts it on the clipboard.
  CBmp& picture() { return picture_; }
  // Size of the displayed picture; 0 x 0 when there is none.
  QSize pictureSize() const;
  const std::string& picturePath() const { return picturePath_; }
  // While the image editor is on, the view does not draw the selected image.
  void SetEditorOn(bool on);

  QColor BackgroundColour() const;
  // Top-left corner of a picture centred in the client area, 0 where it does not fit.
  static QPoint PicturePosition(QSize client, QSize picture);
  // The size a picture is shown at: its own when it fits the client area (with the frame
  // around it), else scaled down to fit, its proportions kept.
  static QSize ShownSize(QSize client, QSize picture);
  // The etched frame around a w x h picture drawn at `at`.
  static void DrawImageFrame(QPainter& painter, QPoint at, QSize picture);

 signals:
  // The displayed picture's size may have changed (status pane 2).
  void pictureChanged();
  void startupFinished();

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  void LoadSelectedPicture();

  CMainFrame& frame_;
  CFramewrightDoc& doc_;
  MainFrameState& state_;
  ViewSettings settings_;
  bool started_ = false;
  bool startupQueued_ = false;
  bool editorOn_ = false;
  std::unique_ptr<ViewPictureSource> source_;
  CBmp picture_;
  std::string picturePath_;
};

}  // namespace quendrolix::app
