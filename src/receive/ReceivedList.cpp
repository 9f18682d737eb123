#include "receive/ReceivedList.h"
#include "text/Ascii.h"

#include <algorithm>
#include <cstdint>

#include "base/LocalTime.h"
#include "receive/StructuredHeaders.h"
#include "text/SjisUnicode.h"

namespace zentavo {

namespace {

const std::string& StaffMark() {
  static const std::string mark = Sj("○");
  return mark;
}

bool IsLeadByte(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

// Byte offsets of every `c` outside two-byte characters.
std::vector<std::size_t> Positions(std::string_view text, char c) {
  std::vector<std::size_t> at;
  for (std::size_t i = 0; i < text.size();) {
    if (text[i] == c) at.push_back(i);
    i += IsLeadByte(static_cast<unsigned char>(text[i])) ? 2 : 1;
  }
  return at;
}

std::vector<std::string> SplitTextLines(std::string_view text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::size_t cut = end;
    if (cut > start && text[cut - 1] == '\r') --cut;
    lines.emplace_back(text.substr(start, cut - start));
    if (end == text.size()) break;
    start = end + 1;
  }
  if (!lines.empty() && lines.back().empty()) lines.pop_back();  // the text's final line end
  return lines;
}

const std::string kIndent(6, ' ');
const std::string kNoMark;

}  // namespace

const std::string& AutomaticReplyMark() {
  static const std::string mark = Sj("【自動応答】");
  return mark;
}

const std::vector<std::string>& ReceivedListHeader() {
  static const std::vector<std::string> header = {Sj("番号"), Sj("送信者"), Sj("職員"),
                                                  "MailNo",   Sj("件名"),   Sj("受信日時")};
  return header;
}

void ClearReceivedList(Grid& list) {
  list.Clear(2);
  list.SetHeader(ReceivedListHeader());
}

std::string FormatMessageNumber(int number) {
  std::string s = std::to_string(number);
  while (s.size() < 3) s.insert(s.begin(), '0');
  return s;
}

std::optional<int> RowMessageNumber(const Grid& list, int row) {
  if (row < 1 || row >= list.RowCount()) return std::nullopt;
  const std::string& cell = list.Cell(kNumberColumn, row);
  if (cell.empty() || !std::all_of(cell.begin(), cell.end(), [](char c) { return c >= '0' && c <= '9'; }) ||
      cell.size() > 9)
    return std::nullopt;
  return std::stoi(cell);
}

Sender ClassifySender(std::string_view from, std::string_view fromAddress, const Grid& staff,
                      std::string_view ownAddress) {
  const std::string f = LowerAscii(from);
  const std::string own = LowerAscii(ownAddress);
  for (int r = 1; r < staff.RowCount(); ++r) {
    const std::string& address = staff.Cell(1, r);
    if (address.empty()) continue;
    const std::string a = LowerAscii(address);
    if (f.find(a) != std::string::npos) return {Sender::Kind::Staff, r};
    const std::size_t at = a.find('@');
    if (at != std::string::npos) {
      const std::string quoted = "\"" + a.substr(0, at) + "\" <" + a.substr(at) + ">";
      if (f.find(quoted) != std::string::npos) return {Sender::Kind::Staff, r};
    }
    if (!fromAddress.empty() && NormalAddress(address) == fromAddress) return {Sender::Kind::Staff, r};
    if (!own.empty() && f.find(own) != std::string::npos) return {Sender::Kind::OwnCopy, 0};
  }
  return {};
}

std::string FindMailNo(std::string_view subject, std::string_view identifier) {
  if (identifier.empty()) return {};
  const std::size_t at = LowerAscii(subject).find(LowerAscii(identifier));
  if (at == std::string::npos) return {};
  const std::string digits(subject.substr(at + identifier.size(), 4));
  return digits.size() == 4 && IsIntegerText(digits) ? digits : std::string();
}

const std::string& UndeliveredMark() {
  static const std::string mark = Sj("【不達】");
  return mark;
}

int AddReceivedRow(Grid& list, int number, const ReceivedMail& mail, const Sender& sender, const Grid& staff,
                   const ListedTie& tie) {
  int row = list.RowCount() - 1;  // the empty row that always follows the last filled one
  while (row > 1 && list.RowEmpty(row - 1)) --row;
  if (!list.RowEmpty(row)) row = list.RowCount();
  list.Cell(kNumberColumn, row) = FormatMessageNumber(number);
  // An automatic reply (out of office and the like) says so where the
  // operator reads, and carries no MailNo: it must never count as a reply.
  const std::string& mark = tie.undelivered ? UndeliveredMark() : mail.automatic ? AutomaticReplyMark() : kNoMark;
  list.Cell(kSubjectColumn, row) = mark + mail.subject;
  list.Cell(kMailNoColumn, row) = tie.mailNo;
  list.Cell(kDateColumn, row) = mail.date ? FormatDisplayTime(*mail.date) : std::string();
  if (sender.kind == Sender::Kind::Other) {
    list.Cell(kSenderColumn, row) = mail.from;
  } else {
    list.Cell(kSenderColumn, row) =
        sender.kind == Sender::Kind::OwnCopy ? std::string("Zentavo -COPY-") : staff.Cell(0, sender.staffRow);
    list.Cell(kStaffColumn, row) = StaffMark();
  }
  list.SetRowCount(row + 2);
  return row;
}

std::vector<std::string> BodyDisplayLines(const Grid& list, int row, const ReceivedMail& mail,
                                          std::string_view identifier, bool ruled) {
  const std::string header = Sj("[受信]  番号：") + list.Cell(kNumberColumn, row) + "  " + std::string(identifier) +
                             ":" + list.Cell(kMailNoColumn, row) + "  FROM:" + list.Cell(kSenderColumn, row) +
                             Sj("  件名:") + list.Cell(kSubjectColumn, row) + Sj("  受信日時:") +
                             (mail.date ? FormatDisplayTime(*mail.date) : std::string());
  std::vector<std::string> lines;
  const std::vector<std::string> text = SplitTextLines(StripTags(mail.body));
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (i == 0) {
      lines.push_back(header);
      lines.emplace_back(" ");
      lines.push_back(kIndent + text[0]);
    } else if (!text[i].empty()) {
      lines.push_back(kIndent + text[i]);
    }
  }
  if (!mail.parts.empty() && lines.empty()) {
    lines.push_back(header);
    lines.emplace_back(" ");
  }
  for (const MailPart& part : mail.parts) {
    if (part.kind == MailPart::Kind::Attachment) {
      lines.push_back(Sj("  添付ファイル：") + part.text);
      continue;
    }
    for (const auto& line : SplitTextLines(StripTags(part.text)))
      if (!line.empty()) lines.push_back(kIndent + line);
  }
  if (ruled) lines.push_back("*" + std::string(80, '-') + "*");
  return lines;
}

std::string StripTags(std::string_view text) {
  const std::vector<std::size_t> open = Positions(text, '<');
  const std::vector<std::size_t> close = Positions(text, '>');
  if (open.empty() || open.size() != close.size()) return std::string(text);
  std::string out(text);
  for (std::size_t i = open.size(); i-- > 0;) {
    // Pairs that do not nest the usual way ("> ... <") delete nothing.
    if (close[i] < open[i]) continue;
    out.erase(open[i], close[i] - open[i] + 1);
  }
  return out;
}

bool IsIntegerText(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  int base = 10;
  if (i < text.size() && (text[i] == '$' || text[i] == 'x' || text[i] == 'X')) {
    base = 16;
    ++i;
  } else if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
    base = 16;
    i += 2;
  }
  if (i >= text.size()) return false;
  std::int64_t value = 0;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    int digit = -1;
    if (c >= '0' && c <= '9')
      digit = c - '0';
    else if (base == 16 && c >= 'a' && c <= 'f')
      digit = c - 'a' + 10;
    else if (base == 16 && c >= 'A' && c <= 'F')
      digit = c - 'A' + 10;
    if (digit < 0) return false;
    value = value * base + digit;
    if (value > (base == 16 ? 0xFFFFFFFFLL : 2147483648LL)) return false;
  }
  return base == 16 || value <= (negative ? 2147483648LL : 2147483647LL);
}

DeletionChoices AvailableDeletions(const Grid& list) {
  DeletionChoices choices;
  for (int r = 1; r < list.RowCount(); ++r) {
    if (list.Cell(kNumberColumn, r).empty()) continue;
    (list.Cell(kStaffColumn, r) == StaffMark() ? choices.staff : choices.others) = true;
  }
  return choices;
}

}  // namespace zentavo
