#include "send/SplitSend.h"

#include "store/Settings.h"
#include "text/SjisUnicode.h"

namespace zentavo {

int CountAddressedRows(const Grid& recipients) {
  int n = 0;
  for (int r = 1; r < recipients.RowCount(); ++r) {
    if (!RecipientCell(recipients, 1, r).empty()) ++n;
  }
  return n;
}

int SplitBatchCount(int addressed, int batchSize) {
  // The size comes from the settings page, whose box keeps it at 2 or more;
  // a damaged value must not divide by zero.
  const int s = batchSize < kSplitSizeMin ? kSplitSizeMin : batchSize;
  if (s >= addressed) return 1;
  return addressed / s + (addressed % s != 0 ? 1 : 0);
}

SplitVerdict MakeSplitVerdict(const Grid& recipients, int batchSize) {
  SplitVerdict v;
  v.addressed = CountAddressedRows(recipients);
  v.batchCount = SplitBatchCount(v.addressed, batchSize);
  if (v.batchCount == 1) {
    v.text = Sj("分割件数以下のため分割無しで送信します。");
  } else {
    v.text = std::to_string(v.batchCount) + Sj("分割で送信します。");
  }
  return v;
}

bool HasUnregistered(const Grid& recipients) {
  for (int r = 1; r < recipients.RowCount(); ++r) {
    if (!RecipientCell(recipients, 0, r).empty() && RecipientCell(recipients, 1, r).empty()) return true;
  }
  return false;
}

std::vector<UnregisteredRow> UnregisteredRows(const Grid& recipients) {
  std::vector<UnregisteredRow> rows;
  for (int r = 1; r < recipients.RowCount(); ++r) {
    if (static_cast<int>(rows.size()) == kUnregisteredListRows) break;
    const std::string& name = RecipientCell(recipients, 0, r);
    if (name.empty() || !RecipientCell(recipients, 1, r).empty()) continue;
    rows.push_back({name, "", RecipientCell(recipients, 2, r)});
  }
  return rows;
}

}  // namespace zentavo
