// The received-mail list and the body pane: how a received message becomes
// a row (who sent it, which notice it answers) and lines of text.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/Grid.h"
#include "receive/ReceivedMail.h"

namespace zentavo {

// Columns of the received-mail list.
enum ReceivedColumn { kNumberColumn = 0, kSenderColumn, kStaffColumn, kMailNoColumn, kSubjectColumn, kDateColumn };

// "番号", "送信者", "職員", "MailNo", "件名", "受信日時" (Shift_JIS).
const std::vector<std::string>& ReceivedListHeader();

// Empties the list: the header and one empty data row.
void ClearReceivedList(Grid& list);

// A POP3 message number as the list shows it: at least three digits, zero
// padded ("007", "1234").
std::string FormatMessageNumber(int number);

// The number a row stands for, or nothing for a row without one.
std::optional<int> RowMessageNumber(const Grid& list, int row);

// Who sent a message. Staff mail names its row of the staff list; the
// operator's own copy of a notice counts as staff mail too.
struct Sender {
  enum class Kind { Staff, OwnCopy, Other };
  Kind kind = Kind::Other;
  int staffRow = 0;
};

// Walks the staff list in order and takes the first row whose address (or
// its quoted form "local" <@domain>) occurs in the From text, letter case
// aside, or equals the sender's address as RFC 5322 compares addresses
// (`fromAddress`, from NormalAddress: a quoted local part such as
// "staff20"@example.test is staff20's); the own address is tried in the
// same walk, at every row with an address that did not match.
// `ownAddress` empty: no own-copy test (the start-up check).
Sender ClassifySender(std::string_view from, std::string_view fromAddress, const Grid& staff,
                      std::string_view ownAddress);

// The four bytes after the identifier (letter case aside) in the subject
// when they form a whole number, else empty.
std::string FindMailNo(std::string_view subject, std::string_view identifier);

// What stands before the subject of an automatic reply in the list, and
// before that of a report of undelivered mail tied to a notice.
const std::string& AutomaticReplyMark();
const std::string& UndeliveredMark();

// Which notice a listed message answers, as the list shows it: its MailNo
// ("" for none), and whether it is a report of undelivered mail.
struct ListedTie {
  std::string mailNo;
  bool undelivered = false;
};

// Appends a row for message `number` to the list (keeping one empty row
// after the last filled one) and returns its row. Staff mail and the own
// copy carry "○"; other mail shows its From text. The MailNo column shows
// the tie; an automatic reply is marked (and has no tie), as is a report
// of undelivered mail.
int AddReceivedRow(Grid& list, int number, const ReceivedMail& mail, const Sender& sender, const Grid& staff,
                   const ListedTie& tie);

// The lines the body pane shows for the message of list row `row`: a
// header line, the text (tags stripped, empty lines dropped, each line
// indented by six blanks), the parts, and with `ruled` the closing rule.
std::vector<std::string> BodyDisplayLines(const Grid& list, int row, const ReceivedMail& mail,
                                          std::string_view identifier, bool ruled);

// Removes every "<...>" pair when the text holds as many "<" as ">"
// (a Shift_JIS trail byte is never taken for either); else the text as it is.
std::string StripTags(std::string_view text);

// True when the text is a whole signed 32-bit number: leading blanks, a
// sign, then decimal digits, or hexadecimal after "$", "x", "X", "0x", "0X".
bool IsIntegerText(std::string_view text);

// Which deletion buttons make sense for the list: staff mail ("○") listed,
// other mail listed, and both (for "全削除").
struct DeletionChoices {
  bool staff = false;
  bool others = false;
  bool all() const { return staff && others; }
};
DeletionChoices AvailableDeletions(const Grid& list);

}  // namespace zentavo
