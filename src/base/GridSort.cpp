#include "base/GridSort.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace zentavo {

namespace {

bool IsShiftJisLead(unsigned char byte) { return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC); }

// The cell text with a-z made A-Z. The second byte of a double-byte
// character is left alone: upper-casing it would turn one character into
// another ("ャ" into "イ") and mix up names written in katakana.
std::string SortKey(const std::string& text) {
  std::string key = text;
  for (size_t i = 0; i < key.size(); ++i) {
    const auto byte = static_cast<unsigned char>(key[i]);
    if (IsShiftJisLead(byte)) {
      ++i;
    } else if (byte >= 'a' && byte <= 'z') {
      key[i] = static_cast<char>(byte - 'a' + 'A');
    }
  }
  return key;
}

}  // namespace

void SortRows(Grid& grid, int column, int first, int last, bool ascending) {
  if (column < 0 || column >= grid.colCount) return;
  first = std::max(first, grid.fixedRows);
  last = std::min(last, grid.RowCount() - 1);
  if (first >= last) return;

  std::vector<std::pair<std::string, int>> order;  // key, row number
  order.reserve(static_cast<size_t>(last - first + 1));
  for (int r = first; r <= last; ++r) order.emplace_back(SortKey(grid.Cell(column, r)), r);
  // std::string compares its bytes as unsigned char, as memcmp does.
  std::stable_sort(order.begin(), order.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  if (!ascending) std::reverse(order.begin(), order.end());

  std::vector<std::vector<std::string>> sorted;
  sorted.reserve(order.size());
  for (const auto& [key, row] : order) sorted.push_back(std::move(grid.rows[static_cast<size_t>(row)]));
  std::move(sorted.begin(), sorted.end(), grid.rows.begin() + first);
}

bool SortByHeaderClick(Grid& grid, GridSortState& state, int column) {
  if (state.options == SortOptions::None || column < 0 || column >= grid.colCount) return false;
  state.column = column;
  state.sorted = true;
  state.header = grid.Cell(column, 0);
  switch (state.options) {
    case SortOptions::UpOnly: state.ascending = true; break;
    case SortOptions::DownOnly: state.ascending = false; break;
    default: state.ascending = !state.ascending; break;
  }
  SortRows(grid, column, grid.fixedRows, grid.RowCount() - 1, state.ascending);
  return true;
}

}  // namespace zentavo
