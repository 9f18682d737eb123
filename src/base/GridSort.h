// Sorting a grid's data rows by one column, as the result lists of the
// reception side do when the operator clicks a column header. The order is
// that of the text, not of numbers: zero-padded numbers and
// "yyyy/MM/dd HH:mm:ss" times come out right, and "1234" sorts before "999".
#pragma once

#include <string>

#include "base/Grid.h"

namespace zentavo {

// What a header click does on a grid.
enum class SortOptions { Both, UpOnly, DownOnly, None };

// The sort state that lives with a grid. Refilling the grid leaves it as it
// is, so the arrow stays on the last sorted column until the next click.
struct GridSortState {
  SortOptions options = SortOptions::Both;
  int column = 0;           // column of the latest sort
  std::string header = "";  // that column's header text when it was sorted (Shift_JIS)
  bool sorted = false;      // a sort has taken place
  // Direction of the latest sort. It starts ascending and a "both" grid
  // flips it before sorting, so the first click on such a grid sorts
  // descending, the next ascending, whichever column is clicked.
  bool ascending = true;
};

// Whether the header of `state.column` carries the arrow: only after a sort,
// and never over an empty header text.
inline bool ShowsSortArrow(const GridSortState& state) { return state.sorted && !state.header.empty(); }

// Sorts rows first..last (clamped to the data rows) by the text of `column`:
// whole rows move. Keys are the cell texts with the ASCII letters a-z made
// upper case, compared byte by byte as unsigned bytes, a shorter key that
// starts a longer one first. Rows with equal keys keep their order; a
// descending sort is exactly the ascending one read backwards, equal keys
// included. Any number of rows sorts the same way.
void SortRows(Grid& grid, int column, int first, int last, bool ascending);

// A click on the header of `column`: records the sort in `state`, sets the
// direction by the grid's options and sorts every data row. A "none" grid
// ignores the click; the result says whether the rows were sorted.
bool SortByHeaderClick(Grid& grid, GridSortState& state, int column);

}  // namespace zentavo
