// Header clicks on a grid: text order, each click's direction, whole rows moving.
#include <gtest/gtest.h>

#include "base/GridSort.h"
#include "support/TestSupport.h"

namespace zentavo {
namespace {
using Rows = std::vector<std::string>;  // "column 0|column 1" of each data row, UTF-8
struct Click {
  int column;
  Rows after;
};
struct Case {
  const char* name;
  SortOptions options;
  Rows rows;
  std::vector<Click> clicks;
};

// clang-format off
const Case kCases[] = {
    {"one data row stays", SortOptions::Both, {"a|1"}, {{0, {"a|1"}}, {0, {"a|1"}}}},
    {"first click down, then up", SortOptions::Both, {"002|x", "001|y", "003|z"},
     {{0, {"003|z", "002|x", "001|y"}}, {0, {"001|y", "002|x", "003|z"}}}},
    {"case-equal keys keep order, down reverses it; any column flips", SortOptions::Both, {"b|1", "A|2", "a|3", "B|4"},
     {{0, {"B|4", "b|1", "a|3", "A|2"}}, {1, {"b|1", "A|2", "a|3", "B|4"}}}},
    {"text order, prefix first", SortOptions::UpOnly, {"999|a", "1234|b", "99|c"}, {{0, {"1234|b", "99|c", "999|a"}}}},
    {"bytes unsigned; second bytes kept", SortOptions::UpOnly, {"ツ|1", "z|2", "イ|3"}, {{0, {"z|2", "イ|3", "ツ|1"}}}},
    {"down only", SortOptions::DownOnly, {"a|1", "c|3"}, {{0, {"c|3", "a|1"}}, {0, {"c|3", "a|1"}}}},
    {"none ignores clicks", SortOptions::None, {"b|1", "a|2"}, {{0, {"b|1", "a|2"}}}},
};
// clang-format on
TEST(GridSort, HeaderClicksSortTheDataRows) {
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    Grid grid(2, static_cast<int>(c.rows.size()) + 1);
    grid.SetHeader({test::S("番号"), "MailNo"});
    for (int r = 1; const std::string& row : c.rows) {
      grid.Cell(0, r) = test::S(row.substr(0, row.find('|')));
      grid.Cell(1, r++) = test::S(row.substr(row.find('|') + 1));
    }
    GridSortState state{.options = c.options};
    for (const Click& click : c.clicks) {
      EXPECT_EQ(SortByHeaderClick(grid, state, click.column), c.options != SortOptions::None);
      Rows after;
      for (int r = 1; r < grid.RowCount(); ++r) after.push_back(test::U(grid.Cell(0, r) + "|" + grid.Cell(1, r)));
      EXPECT_EQ(after, click.after);
    }
    EXPECT_EQ(test::U(grid.Cell(0, 0)), "番号");
    EXPECT_EQ(ShowsSortArrow(state), c.options != SortOptions::None);
  }
}
}  // namespace
}  // namespace zentavo
