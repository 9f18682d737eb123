// The pieces around the send run that look at the recipient grid as a
// whole: how many messages a split send makes and what the "分割送信" window
// says about it, and the "未送信" list of recipients who have a name but no
// mail address and must be told some other way.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "base/Grid.h"
#include "store/Recipients.h"

namespace zentavo {

// Data rows whose mail address (column 1) is not empty.
int CountAddressedRows(const Grid& recipients);

// Messages needed for `addressed` recipients in batches of `batchSize`: one
// when they all fit, else the division rounded up. A size below the
// settings' minimum counts as the minimum.
int SplitBatchCount(int addressed, int batchSize);

// What the "分割送信" window shows and decides on.
struct SplitVerdict {
  int addressed = 0;
  int batchCount = 1;
  std::string text;  // "分割件数以下のため分割無しで送信します。" or N + "分割で送信します。"
};

SplitVerdict MakeSplitVerdict(const Grid& recipients, int batchSize);

// One row of the "未送信" list.
struct UnregisteredRow {
  std::string name;
  std::string address;  // always empty: that is why the row is listed
  std::string phone;
};

inline constexpr int kUnregisteredListRows = 99;

// True when a data row has a name but no mail address.
bool HasUnregistered(const Grid& recipients);

// Those rows in grid order, at most the list's 99.
std::vector<UnregisteredRow> UnregisteredRows(const Grid& recipients);

}  // namespace zentavo
