#include "frame_list_model.h"

namespace quendrolix::app {

FrameListModel::FrameListModel(FrameList& list, QObject* parent)
    : QAbstractTableModel(parent), list_(list) {
  list_.AddObserver(this);
}

FrameListModel::~FrameListModel() {
  list_.RemoveObserver(this);
}

int FrameListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : list_.EntryCount();
}

int FrameListModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : FrameList::kColumnCount;
}

QVariant FrameListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid()) return {};
  if (role == Qt::DisplayRole || role == Qt::EditRole)
    return QString::fromStdString(list_.Cell(ListRow(index.row()), index.column()));
  if (role == Qt::TextAlignmentRole && index.column() == FrameList::kFramesColumn)
    return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
  return {};
}

bool FrameListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  if (!index.isValid() || role != Qt::EditRole || index.column() != FrameList::kFramesColumn)
    return false;
  // Kept as typed: a count is read as a leading integer wherever it is used.
  list_.SetCell(ListRow(index.row()), index.column(), value.toString().toStdString());
  return true;
}

Qt::ItemFlags FrameListModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
  if (index.column() == FrameList::kFramesColumn) flags |= Qt::ItemIsEditable;
  return flags;
}

QVariant FrameListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole) return QAbstractTableModel::headerData(section, orientation, role);
  if (orientation == Qt::Horizontal) return QString::fromStdString(list_.Cell(0, section));
  return section + 1;
}

void FrameListModel::RowsAboutToBeInserted(int first, int count) {
  ++changing_;
  beginInsertRows({}, ModelRow(first), ModelRow(first + count - 1));
}

void FrameListModel::RowsInserted(int, int) {
  endInsertRows();
  --changing_;
  emit listChanged();
}

void FrameListModel::RowsAboutToBeRemoved(int first, int count) {
  ++changing_;
  beginRemoveRows({}, ModelRow(first), ModelRow(first + count - 1));
}

void FrameListModel::RowsRemoved(int, int) {
  endRemoveRows();
  --changing_;
  emit listChanged();
}

void FrameListModel::AboutToReset() {
  ++changing_;
  beginResetModel();
}

void FrameListModel::Reset() {
  endResetModel();
  --changing_;
  emit listChanged();
}

void FrameListModel::CellChanged(int row, int column) {
  if (row == 0) {
    emit headerDataChanged(Qt::Horizontal, column, column);
  } else {
    QModelIndex cell = index(ModelRow(row), column);
    emit dataChanged(cell, cell);
  }
  emit listChanged();
}

void FrameListModel::FocusChanged(int row) {
  emit focusRowChanged(row);
}

void FrameListModel::ScrollRequested(bool toBottom) {
  emit scrollRequested(toBottom);
}

}  // namespace quendrolix::app
