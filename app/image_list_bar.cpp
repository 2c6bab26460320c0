#include "image_list_bar.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QVBoxLayout>

#include "command_icons.h"
#include "command_table.h"
#include "tool_tips.h"

namespace quendrolix::app {

ImageListBar::ImageListBar(FrameList& list, QWidget* parent) : QDockWidget("Images", parent) {
  setObjectName("imageListBar");
  setFeatures(QDockWidget::DockWidgetMovable | QDockWidget::DockWidgetFloatable);
  auto* body = new QWidget(this);

  auto* row = new QHBoxLayout;
  row->setSpacing(2);
  struct ButtonSpec {
    int id;
    const char* name;
    const char* tip;
  };
  static const ButtonSpec kButtons[] = {{kIdMoveUp, "moveUp", kTipMoveUp},
                                        {kIdMoveDown, "moveDown", kTipMoveDown},
                                        {kIdMoveFirst, "moveFirst", kTipMoveFirst},
                                        {kIdMoveLast, "moveLast", kTipMoveLast},
                                        {kIdDeleteImage, "deleteImage", kTipDelete}};
  for (const ButtonSpec& spec : kButtons) {
    auto* button = new QToolButton(body);
    button->setObjectName(spec.name);
    button->setIcon(CommandIcon(spec.id));
    button->setIconSize(QSize(20, 20));
    button->setToolTip(TitledToolTip(spec.tip));
    button->setAutoRaise(true);
    connect(button, &QToolButton::clicked, this, [this, id = spec.id] { emit buttonClicked(id); });
    buttons_.insert(spec.id, button);
    row->addWidget(button);
  }
  row->addStretch(1);

  sound_ = new QPushButton("Attach sound file", body);
  sound_->setObjectName("soundButton");
  sound_->setIcon(CommandIcon(kIdAttachSound));
  sound_->setCheckable(true);
  sound_->setToolTip("Click to detach the sound file");
  sound_->setVisible(false);
  connect(sound_, &QPushButton::clicked, this, [this] { emit buttonClicked(kIdSoundButton); });
  buttons_.insert(kIdSoundButton, sound_);

  model_ = new FrameListModel(list, this);
  grid_ = new QTableView(body);
  grid_->setObjectName("imageGrid");
  grid_->setModel(model_);
  grid_->setToolTip(TitledToolTip(kTipImageList));
  grid_->setSelectionBehavior(QAbstractItemView::SelectRows);
  grid_->setSelectionMode(QAbstractItemView::SingleSelection);
  grid_->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::SelectedClicked |
                         QAbstractItemView::EditKeyPressed | QAbstractItemView::AnyKeyPressed);
  grid_->verticalHeader()->setVisible(false);
  grid_->verticalHeader()->setDefaultSectionSize(grid_->fontMetrics().height() + 6);
  grid_->horizontalHeader()->setSectionResizeMode(FrameList::kNameColumn, QHeaderView::Stretch);
  grid_->horizontalHeader()->setSectionResizeMode(FrameList::kFramesColumn,
                                                  QHeaderView::ResizeToContents);
  grid_->horizontalHeader()->setHighlightSections(false);
  grid_->setWordWrap(false);
  grid_->setItemDelegateForColumn(FrameList::kFramesColumn, new FrameCountDelegate(grid_));

  connect(grid_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
          [this](const QModelIndex& current) { OnCurrentChanged(current); });
  connect(model_, &FrameListModel::focusRowChanged, this, [this](int listRow) {
    if (!model_->IsChanging()) SelectListRow(listRow);
    emit selectionChanged(listRow);
  });
  // A change of rows may move the grid's own selection: put it back on the list's focus.
  connect(model_, &FrameListModel::listChanged, this,
          [this] { SelectListRow(model_->list().FocusRow()); });
  connect(model_, &FrameListModel::scrollRequested, this, [this](bool toBottom) {
    if (toBottom)
      grid_->scrollToBottom();
    else
      grid_->scrollToTop();
  });

  auto* layout = new QVBoxLayout(body);
  layout->setContentsMargins(4, 4, 4, 4);
  layout->setSpacing(4);
  layout->addLayout(row);
  layout->addWidget(sound_);
  layout->addWidget(grid_, 1);
  setWidget(body);
}

void ImageListBar::SetSound(const QString& soundFile) {
  sound_->setText(soundFile.isEmpty() ? QString("Attach sound file")
                                      : QFileInfo(soundFile).fileName());
  sound_->setChecked(!soundFile.isEmpty());
  sound_->setVisible(!soundFile.isEmpty());
}

void ImageListBar::SelectListRow(int listRow) {
  if (syncing_) return;
  syncing_ = true;
  QItemSelectionModel* selection = grid_->selectionModel();
  if (listRow >= 1 && listRow <= model_->list().EntryCount()) {
    QModelIndex target = model_->index(FrameListModel::ModelRow(listRow), FrameList::kNameColumn);
    if (selection->currentIndex().row() != target.row() || !selection->isRowSelected(target.row()))
      selection->setCurrentIndex(target,
                                 QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    grid_->scrollTo(target);
  } else if (selection->hasSelection() || selection->currentIndex().isValid()) {
    selection->clear();
  }
  syncing_ = false;
}

void ImageListBar::OnCurrentChanged(const QModelIndex& current) {
  // Moves of the grid's cursor made while the list changes, or while the list's focus is
  // being shown, are not the user's choice.
  if (syncing_ || model_->IsChanging()) return;
  syncing_ = true;
  model_->list().SetFocusRow(current.isValid() ? FrameListModel::ListRow(current.row())
                                               : FrameList::kNoRow);
  syncing_ = false;
}

}  // namespace quendrolix::app
