// Header-click sorting for a grid view over a GridModel: a click on a column
// header sorts the model's core grid by that column (the grid's own rows, so
// row numbers stay meaningful to every other operation), and the header
// marks the sorted column with an arrow.
#pragma once

#include <QTableView>

#include "base/GridSort.h"
#include "ui/GridModel.h"

namespace zentavo::ui {

// Makes `view` (a GridView showing `model`) sort on header clicks by
// `options`; a "none" grid ignores them. The arrow stays where it is when
// the grid is refilled (GridModel::reload).
void MakeSortable(QTableView* view, GridModel* model, SortOptions options = SortOptions::Both);

}  // namespace zentavo::ui
