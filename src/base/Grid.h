// The string grid model behind every grid of the program (staff list,
// recipients, result lists): row 0 is the header, data rows follow, and the
// row count may exceed the filled rows so that empty rows follow the data.
#pragma once

#include <set>
#include <string>
#include <vector>

namespace zentavo {

struct Grid {
  explicit Grid(int columns = 3, int rows = 2) : colCount(columns) { SetRowCount(rows); }

  int colCount;
  int fixedRows = 1;
  std::vector<std::vector<std::string>> rows;  // rows[r][c], Shift_JIS

  int RowCount() const { return static_cast<int>(rows.size()); }
  // Grows with empty rows or cuts from the end; never below fixedRows + 1.
  void SetRowCount(int count);
  // The cell of column `col` in row `row`; grows the grid when row is
  // beyond it.
  std::string& Cell(int col, int row);
  const std::string& Cell(int col, int row) const { return rows.at(row).at(col); }
  bool RowEmpty(int row) const;
  // Empties the cells of every data row and sets the row count.
  void Clear(int rowCount);
  void SetHeader(const std::vector<std::string>& titles);
};

// Inserts `count` empty rows at row `at`, moving the rows from there down.
void InsertGridRows(Grid& grid, int at, int count);

// Deletes rows a..b (either order, clamped to the data rows). The grid always
// keeps at least one data row: deleting every data row empties the first.
void DeleteGridRows(Grid& grid, int a, int b);

// Deletes exactly the given rows, which need not be adjacent (a selection
// made with the control key): each unbroken run of them goes, the last run
// first, and no row between two runs is touched.
void DeleteSelectedRows(Grid& grid, const std::set<int>& rows);

}  // namespace zentavo
