// The send page's values ("職員伝達") apart from the recipient grid: what the
// operator types and ticks for one notice, and the run flags shared by the
// send run, the split confirmation and the unattended send.
#pragma once

#include <string>
#include <vector>

namespace zentavo {

struct SendPage {
  std::string group;                   // ComboBox1's text ("" when none chosen)
  std::string subject;                 // Edit1 "件名"
  std::vector<std::string> body;       // Memo1 "伝達内容", one entry per line
  std::string mailNoBox;               // Edit9 "ＭａｉｌＮｏ" (read-only)
  bool copyToSelf = false;             // CheckBox5 "自分宛にコピーを送る"
  bool appendGroup = false;            // CheckBox12 "伝達内容に伝達グループ名を追加"
  bool appendNames = false;            // CheckBox1 "伝達内容に同報伝達者名を追加"
  bool reserveOn = false;              // CheckBox13 "予約送信を実行する"
};

struct SendRunState {
  std::string go;                      // "ON" / "OF", set by the split confirmation
  bool sent = false;                   // at least one batch went out
  int batchCount = 0;
  bool running = false;                // a send run is under way: no second one
};

}  // namespace zentavo
