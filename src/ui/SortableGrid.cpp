#include "ui/SortableGrid.h"

#include <QHeaderView>

namespace zentavo::ui {

namespace {

void ShowSortArrow(QHeaderView* header, const GridSortState& state) {
  if (ShowsSortArrow(state))
    header->setSortIndicator(state.column, state.ascending ? Qt::AscendingOrder : Qt::DescendingOrder);
  else
    header->setSortIndicator(-1, Qt::AscendingOrder);
}

}  // namespace

void MakeSortable(QTableView* view, GridModel* model, SortOptions options) {
  model->sortState.options = options;
  // The view's own sorting stays off: it asks the model to sort by its own
  // rules of direction, where a grid flips on every click, whatever column.
  QHeaderView* header = view->horizontalHeader();
  header->setSectionsClickable(true);
  header->setSortIndicatorShown(true);
  ShowSortArrow(header, model->sortState);
  QObject::connect(header, &QHeaderView::sectionClicked, model, [header, model](int column) {
    if (model->sortByHeaderClick(column)) ShowSortArrow(header, model->sortState);
  });
}

}  // namespace zentavo::ui
