#pragma once

#include <QAbstractTableModel>
#include <QHash>
#include <QStyledItemDelegate>
#include <functional>
#include <string>

#include "project/frame_list.h"

namespace quendrolix::app {

// The range of a frame count typed into the grid.
inline constexpr int kMinFrameCount = 1;
inline constexpr int kMaxFrameCount = 32767;

// The grid's view of the core FrameList. The list's header row (row 0) is the table's
// horizontal header; list row r >= 1 is model row r - 1. Column 0 (the image name) is
// fixed; column 1 (the frame count) is edited in place and written straight into the
// list, so every project operation keeps working on the core list alone. Only whole
// numbers from kMinFrameCount to kMaxFrameCount are taken as counts. A row whose picture
// file is not there is shown in red with a warning sign.
class FrameListModel : public QAbstractTableModel, private FrameListObserver {
  Q_OBJECT

 public:
  explicit FrameListModel(FrameList& list, QObject* parent = nullptr);
  ~FrameListModel() override;

  FrameList& list() { return list_; }
  // Finds the file of a display name (the document's table); unset, no row is marked.
  using PathLookup = std::function<std::string(const std::string& displayName)>;
  void SetPathLookup(PathLookup lookup);
  // Looks at the files again (a project was opened, files may have come or gone).
  void RecheckFiles();
  // True when the row's picture file is missing (list row r >= 1).
  bool IsMissing(int listRow) const;
  // The count a typed text stands for, or 0 when it is not a count the grid takes.
  static int ParseFrameCount(const QString& text);
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
  PathLookup lookup_;
  // Display name -> missing, filled as rows are shown.
  mutable QHash<QString, bool> missing_;
};

// The editor of the "Frames" cells: a number box of the grid's range.
class FrameCountDelegate : public QStyledItemDelegate {
  Q_OBJECT

 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                        const QModelIndex& index) const override;
  void setEditorData(QWidget* editor, const QModelIndex& index) const override;
  void setModelData(QWidget* editor, QAbstractItemModel* model,
                    const QModelIndex& index) const override;
};

}  // namespace quendrolix::app
