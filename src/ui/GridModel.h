// A table model over one of the core's grids: the grid's row 0 is the
// header, its data rows are the view's rows. The model reads and writes the
// grid itself, so the window keeps no copy of its own; a sort reorders the
// grid's own rows, since other operations address them by number.
#pragma once

#include <QAbstractTableModel>
#include <functional>
#include <set>
#include <utility>

#include "base/Grid.h"
#include "base/GridSort.h"

namespace zentavo::ui {

class GridModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  GridModel(Grid& grid, QObject* parent = nullptr) : QAbstractTableModel(parent), grid_(grid) {}

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role) override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

  void setEditable(bool editable) { editable_ = editable; }
  // The columns whose data rows are drawn centred; the others are
  // left-aligned. Header texts are centred in every column.
  void setCentredColumns(std::set<int> columns) { centred_ = std::move(columns); }
  // After a core operation changed the grid.
  void reload();
  // Called with the characters that an edit could not keep.
  std::function<void(const QString&)> onDropped;

  GridSortState sortState;
  // A click on the header of `column`, by the grid's sort options; says
  // whether the rows were sorted.
  bool sortByHeaderClick(int column);

 private:
  Grid& grid_;
  bool editable_ = false;
  std::set<int> centred_;
};

}  // namespace zentavo::ui
