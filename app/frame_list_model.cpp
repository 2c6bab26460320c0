#include "frame_list_model.h"

#include <QApplication>
#include <QBrush>
#include <QFileInfo>
#include <QStyle>

#include "spin_edit.h"

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
  if (index.column() == FrameList::kNameColumn && IsMissing(ListRow(index.row()))) {
    if (role == Qt::ForegroundRole) return QBrush(QColor(0xC0, 0x00, 0x00));
    if (role == Qt::DecorationRole)
      return QApplication::style()->standardIcon(QStyle::SP_MessageBoxWarning);
    if (role == Qt::ToolTipRole) {
      std::string path = lookup_(list_.Cell(ListRow(index.row()), FrameList::kNameColumn));
      return path.empty() ? QString("Missing picture: no file is known for this name")
                          : "Missing picture: " + QString::fromStdString(path);
    }
  }
  return {};
}

void FrameListModel::SetPathLookup(PathLookup lookup) {
  lookup_ = std::move(lookup);
  RecheckFiles();
}

void FrameListModel::RecheckFiles() {
  missing_.clear();
  if (rowCount() > 0) emit dataChanged(index(0, 0), index(rowCount() - 1, 0));
}

bool FrameListModel::IsMissing(int listRow) const {
  if (!lookup_ || listRow < 1 || listRow > list_.EntryCount()) return false;
  QString name = QString::fromStdString(list_.Cell(listRow, FrameList::kNameColumn));
  auto known = missing_.constFind(name);
  if (known != missing_.constEnd()) return *known;
  std::string path = lookup_(name.toStdString());
  bool missing = path.empty() || !QFileInfo::exists(QString::fromStdString(path));
  missing_.insert(name, missing);
  return missing;
}

int FrameListModel::ParseFrameCount(const QString& text) {
  bool ok = false;
  int count = text.trimmed().toInt(&ok, 10);
  return ok && count >= kMinFrameCount && count <= kMaxFrameCount ? count : 0;
}

bool FrameListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  if (!index.isValid() || role != Qt::EditRole || index.column() != FrameList::kFramesColumn)
    return false;
  // Anything but a whole number in range is refused; the cell keeps its count.
  int count = ParseFrameCount(value.toString());
  if (count == 0) return false;
  list_.SetCell(ListRow(index.row()), index.column(), std::to_string(count));
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
  missing_.clear();  // an imported name may have a new path
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
  missing_.clear();
  ++changing_;
  beginResetModel();
}

void FrameListModel::Reset() {
  endResetModel();
  --changing_;
  emit listChanged();
}

void FrameListModel::CellChanged(int row, int column) {
  if (column == FrameList::kNameColumn) missing_.clear();
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

namespace quendrolix::app {

QWidget* FrameCountDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                                          const QModelIndex& index) const {
  if (index.column() != FrameList::kFramesColumn)
    return QStyledItemDelegate::createEditor(parent, option, index);
  auto* editor = new SpinEdit(kMinFrameCount, kMaxFrameCount, parent);
  editor->setObjectName("frameCountEditor");
  editor->setFrame(false);
  editor->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  return editor;
}

void FrameCountDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const {
  if (auto* spin = qobject_cast<SpinEdit*>(editor)) {
    // A count that was never a clean number (an old project) shows as the count it builds.
    int count = FrameListModel::ParseFrameCount(index.data(Qt::EditRole).toString());
    spin->setValue(count > 0 ? count : kMinFrameCount);
    return;
  }
  QStyledItemDelegate::setEditorData(editor, index);
}

void FrameCountDelegate::setModelData(QWidget* editor, QAbstractItemModel* model,
                                      const QModelIndex& index) const {
  if (auto* spin = qobject_cast<SpinEdit*>(editor)) {
    spin->interpretText();
    model->setData(index, QString::number(spin->value()));
    return;
  }
  QStyledItemDelegate::setModelData(editor, model, index);
}

}  // namespace quendrolix::app
