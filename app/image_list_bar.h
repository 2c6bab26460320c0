#pragma once

#include <QDockWidget>
#include <QHash>
#include <QPushButton>
#include <QTableView>
#include <QToolButton>

#include "frame_list_model.h"

namespace quendrolix::app {

// The bar docked at the left of the main window: the move and delete buttons, the sound
// button (shown, checked and captioned with the sound's file name only while a sound is
// attached) and the image list grid over the core FrameList. The grid's selection and the
// list's focus row follow each other.
class ImageListBar : public QDockWidget {
  Q_OBJECT

 public:
  ImageListBar(FrameList& list, QWidget* parent = nullptr);

  QTableView* grid() const { return grid_; }
  FrameListModel* model() const { return model_; }
  // A list-bar button by its id (kIdMoveUp ... kIdDeleteImage, kIdSoundButton).
  QAbstractButton* button(int id) const { return buttons_.value(id); }
  QPushButton* soundButton() const { return sound_; }
  // The sound file changed; empty: none attached.
  void SetSound(const QString& soundFile);

 signals:
  void buttonClicked(int id);
  // The list's focus row moved (<= 0: nothing selected).
  void selectionChanged(int listRow);

 private:
  void SelectListRow(int listRow);
  void OnCurrentChanged(const QModelIndex& current);

  FrameListModel* model_;
  QTableView* grid_;
  QPushButton* sound_;
  QHash<int, QAbstractButton*> buttons_;
  bool syncing_ = false;
};

}  // namespace quendrolix::app
