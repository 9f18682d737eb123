// A table model over one of the core's grids: the grid's row 0 is the
// header, its data rows are the view's rows. The model reads and writes the
// grid itself, so the window keeps no copy of its own.
#pragma once

#include <QAbstractTableModel>
#include <functional>

#include "store/Grid.h"

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
  // After a core operation changed the grid.
  void reload();
  // Called with the characters that an edit could not keep.
  std::function<void(const QString&)> onDropped;

 private:
  Grid& grid_;
  bool editable_ = false;
};

}  // namespace zentavo::ui
