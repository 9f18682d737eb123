#include "base/Grid.h"

#include <algorithm>

namespace zentavo {

void Grid::SetRowCount(int count) {
  count = std::max(count, fixedRows + 1);
  rows.resize(static_cast<size_t>(count), std::vector<std::string>(static_cast<size_t>(colCount)));
}

std::string& Grid::Cell(int col, int row) {
  if (row >= RowCount()) SetRowCount(row + 1);
  return rows.at(static_cast<size_t>(row)).at(static_cast<size_t>(col));
}

bool Grid::RowEmpty(int row) const {
  const auto& cells = rows.at(static_cast<size_t>(row));
  return std::all_of(cells.begin(), cells.end(), [](const std::string& s) { return s.empty(); });
}

void Grid::Clear(int rowCount) {
  for (int r = fixedRows; r < RowCount(); ++r) {
    for (auto& cell : rows[static_cast<size_t>(r)]) cell.clear();
  }
  SetRowCount(rowCount);
}

void Grid::SetHeader(const std::vector<std::string>& titles) {
  for (int c = 0; c < colCount && c < static_cast<int>(titles.size()); ++c) Cell(c, 0) = titles[c];
}

void InsertGridRows(Grid& grid, int at, int count) {
  if (count < 1 || at < 0) return;
  int newCount = grid.RowCount() + count;
  grid.SetRowCount(newCount);
  for (int r = newCount - 1; r >= at + count; --r) grid.rows[r] = grid.rows[r - count];
  for (int r = at; r < at + count && r < newCount; ++r) {
    for (auto& cell : grid.rows[r]) cell.clear();
  }
}

void DeleteGridRows(Grid& grid, int a, int b) {
  int from = std::min(a, b);
  int to = std::max(a, b);
  int last = grid.RowCount() - 1;
  if (from > last) return;
  to = std::min(to, last);
  from = std::max(from, grid.fixedRows);
  if (from > to) return;  // only header rows were selected
  int n = to - from + 1;
  int dataRows = grid.RowCount() - grid.fixedRows;
  if (dataRows > 1 && grid.RowCount() - n > grid.fixedRows) {
    for (int r = to + 1; r <= last; ++r) grid.rows[r - n] = grid.rows[r];
    grid.rows.resize(static_cast<size_t>(grid.RowCount() - n));
    return;
  }
  // Every data row goes: keep one, emptied.
  for (auto& cell : grid.rows[grid.fixedRows]) cell.clear();
  if (from <= last) grid.rows.resize(static_cast<size_t>(std::max(grid.RowCount() - (to - from), grid.fixedRows + 1)));
}

void DeleteSelectedRows(Grid& grid, const std::set<int>& rows) {
  auto it = rows.rbegin();
  while (it != rows.rend()) {
    const int bottom = *it;
    int top = bottom;
    for (++it; it != rows.rend() && *it == top - 1; ++it) top = *it;
    DeleteGridRows(grid, top, bottom);
  }
}

}  // namespace zentavo
