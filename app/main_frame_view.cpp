// The main frame's view, options and help commands.
#include <QColorDialog>
#include <QMessageBox>

#include "avi_output_options_dlg.h"
#include "command_table.h"
#include "frame_replication_dlg.h"
#include "framewright_app.h"
#include "framewright_view.h"
#include "image/picture_limits.h"
#include "main_frame.h"
#include "output_size_dlg.h"

namespace quendrolix::app {

void CMainFrame::OnAviOutputSettings() {
  AviOutputOptionsDlg dialog(AviOutputOptionsDialog::ForProject(doc_), this);
  if (dialog.exec() == QDialog::Accepted) dialog.Rules().Apply(doc_);
}

void CMainFrame::OnOutputSize() {
  OutputSizeDlg dialog(OutputSizeDialog::ForProject(doc_), this);
  if (dialog.exec() == QDialog::Accepted) dialog.Rules().Apply(doc_);
}

void CMainFrame::OnFrameReplication() {
  FrameReplicationDlg dialog(doc_, this);
  dialog.exec();
}

void CMainFrame::OnScreenBackground() {
  QColor colour = QColorDialog::getColor(view_->BackgroundColour(), this, "Color");
  if (!colour.isValid()) return;
  uint32_t value = static_cast<uint32_t>(colour.red()) |
                   static_cast<uint32_t>(colour.green()) << 8 |
                   static_cast<uint32_t>(colour.blue()) << 16;
  view_->settings().backgroundColour = value;
  doc_.store().SetColour("General", "ScreenColor", value);
  SetPictureBackground(value);  // for the transparent pictures loaded from now on
  view_->update();
}

void CMainFrame::OnFrameImages() {
  ViewSettings& settings = view_->settings();
  settings.frameImages = settings.frameImages ? 0 : 1;
  doc_.store().SetInteger("General", "FrameImages", settings.frameImages);
  view_->update();
}

void CMainFrame::OnAbout() {
  QMessageBox::about(
      this, "About " + kAppTitle,
      kAppTitle + "\nVersion " + kVersion + "\n\nTurns still images into AVI and MPG animations.");
}

}  // namespace quendrolix::app
