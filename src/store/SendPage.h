// The send page's values ("職員伝達") apart from the recipient grid: what the
// operator types and ticks for one notice, and the state of the send run
// that the split confirmation and the unattended send share.
#pragma once

#include <string>
#include <vector>

namespace zentavo {

struct SendPage {
  std::string group;              // the group chosen ("" when none)
  std::string subject;            // "件名"
  std::vector<std::string> body;  // "伝達内容", one entry per line
  std::string shownMailNo;        // "ＭａｉｌＮｏ": the MailNo of the current or last run
  bool copyToSelf = false;        // "自分宛にコピーを送る"
  bool appendGroup = false;       // "伝達内容に伝達グループ名を追加"
  bool appendNames = false;       // "伝達内容に同報伝達者名を追加"
  bool reserveOn = false;         // "予約送信を実行する"
};

// What a notice on the send page consists of, to tell whether the operator
// has something there that has not been sent.
struct SendPageContent {
  std::string group;
  std::string subject;
  std::vector<std::string> body;
  std::vector<std::vector<std::string>> recipients;  // the grid's rows that hold anything
  bool operator==(const SendPageContent&) const = default;
};

struct SendRunState {
  bool running = false;  // a send run is under way: no second one
  bool sent = false;     // at least one batch went out
  int batchCount = 0;
  bool cancel = false;      // the program is ending: no further batch leaves
  SendPageContent settled;  // the send page as the last send (or booked send) left it
};

}  // namespace zentavo
