#include "ui/GridModel.h"

#include "ui/QtText.h"

namespace zentavo::ui {

int GridModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : grid_.RowCount() - grid_.fixedRows;
}

int GridModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : grid_.colCount; }

QVariant GridModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid()) return {};
  if (role == Qt::DisplayRole || role == Qt::EditRole)
    return ToQ(grid_.Cell(index.column(), index.row() + grid_.fixedRows));
  if (role == Qt::TextAlignmentRole)
    return int((centred_.contains(index.column()) ? Qt::AlignHCenter : Qt::AlignLeft) | Qt::AlignTop);
  return {};
}

bool GridModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  if (!index.isValid() || role != Qt::EditRole) return false;
  QString dropped;
  grid_.Cell(index.column(), index.row() + grid_.fixedRows) = FromQ(value.toString(), &dropped);
  if (!dropped.isEmpty() && onDropped) onDropped(dropped);
  emit dataChanged(index, index);
  return true;
}

QVariant GridModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role == Qt::TextAlignmentRole && orientation == Qt::Horizontal) return int(Qt::AlignCenter);
  if (role != Qt::DisplayRole) return {};
  if (orientation == Qt::Horizontal) {
    if (section < 0 || section >= grid_.colCount) return {};
    return ToQ(grid_.Cell(section, 0));
  }
  return section + 1;
}

Qt::ItemFlags GridModel::flags(const QModelIndex& index) const {
  Qt::ItemFlags f = QAbstractTableModel::flags(index);
  if (editable_) f |= Qt::ItemIsEditable;
  return f;
}

bool GridModel::sortByHeaderClick(int column) {
  // A layout change rather than a reset: the selection stays on the same
  // row numbers, as in a grid whose rows are addressed by number.
  emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
  const bool sorted = SortByHeaderClick(grid_, sortState, column);
  emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
  return sorted;
}

void GridModel::reload() {
  beginResetModel();
  endResetModel();
}

}  // namespace zentavo::ui
