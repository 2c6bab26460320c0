#pragma once

#include <QAbstractTableModel>

#include "project/frame_list.h"

namespace quendrolix::app {

// The grid's view of the core FrameList. The list's header row (row 0) is the table's
// horizontal header; list row r >= 1 is model row r - 1. Column 0 (the image name) is
// fixed; column 1 (the frame count text) is edited in place and written straight into
// the list, so every project operation keeps working on the core list alone.
class FrameListModel : public QAbstractTableModel, private FrameListObserver {
  Q_OBJECT

 public:
  explicit FrameListModel(FrameList& list, QObject* parent = nullptr);
  ~FrameListModel() override;

  FrameList& list() { return list_; }
  static int ListRow(int modelRow) { return modelRow + 1; }
  static int ModelRow(int listRow) { return listRow - 1; }
  // True between the "about to" and the "done" notice of a change of the list: the view's
  // own selection moves then are side effects of the change, not user choices.
  bool IsChanging() const { return changing_ > 0; }

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;

 signals:
  // The list's focus row moved (<= 0: nothing selected).
  void focusRowChanged(int listRow);
  void scrollRequested(bool toBottom);
  // Emitted after every change of rows or cells, once the list is consistent again.
  void listChanged();

 private:
  void RowsAboutToBeInserted(int first, int count) override;
  void RowsInserted(int first, int count) override;
  void RowsAboutToBeRemoved(int first, int count) override;
  void RowsRemoved(int first, int count) override;
  void AboutToReset() override;
  void Reset() override;
  void CellChanged(int row, int column) override;
  void FocusChanged(int row) override;
  void ScrollRequested(bool toBottom) override;

  FrameList& list_;
  int changing_ = 0;
};

}  // namespace quendrolix::app
