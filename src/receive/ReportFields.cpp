#include "receive/ReportFields.h"
#include "text/Ascii.h"

#include <algorithm>

#include "text/ReceivedCharset.h"

namespace zentavo {

namespace {

// More than RFC 3464 defines for one recipient with every extension servers
// add; what a hostile report puts beyond is passed over.
constexpr std::size_t kMostFieldsInGroup = 64;
// SMTP replies are a few lines; a longer reason is cut.
constexpr std::size_t kReasonLimit = 2000;
// RFC 5321's limits on a path, with room to spare.
constexpr std::size_t kLongestAddress = 320;

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsAlnum(char c) { return IsDigit(c) || (LowerAscii(c) >= 'a' && LowerAscii(c) <= 'z'); }

std::string_view Trim(std::string_view s) { return TrimAscii(s, " \t\r\n"); }

bool SameName(std::string_view a, std::string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return LowerAscii(x) == LowerAscii(y); });
}

// RFC 5322's field name: printable ASCII without blanks or colon. Servers
// sometimes put a blank before the colon ("Action : failed"); the caller
// has cut that off.
bool IsFieldName(std::string_view name) {
  return !name.empty() && name.size() <= 76 &&
         std::all_of(name.begin(), name.end(), [](char c) { return c > ' ' && c < 0x7F; });
}

bool IsAddressCharacter(char c) {
  return c > ' ' && c < 0x7F && std::string_view("<>()\",;:\\").find(c) == std::string_view::npos;
}

// How many digits, up to `most` + 1, stand at `from`.
std::size_t Digits(std::string_view s, std::size_t from, std::size_t most) {
  std::size_t n = 0;
  while (from + n < s.size() && n <= most && IsDigit(s[from + n])) ++n;
  return n;
}

// The length of the status code "class.subject.detail" at `i`, 0 when there
// is none.
std::size_t StatusCodeLength(std::string_view s, std::size_t i) {
  if (i + 1 >= s.size() || (s[i] != '2' && s[i] != '4' && s[i] != '5') || s[i + 1] != '.') return 0;
  const std::size_t subject = Digits(s, i + 2, 3);
  const std::size_t dot = i + 2 + subject;
  if (subject == 0 || subject > 3 || dot >= s.size() || s[dot] != '.') return 0;
  const std::size_t detail = Digits(s, dot + 1, 3);
  return detail == 0 || detail > 3 ? 0 : dot + 1 + detail - i;
}

}  // namespace

std::string_view NextLine(std::string_view text, std::size_t& pos) {
  const std::size_t end = std::min(text.find_first_of("\r\n", pos), text.size());
  const std::string_view line = text.substr(pos, end - pos);
  pos = end;
  if (pos < text.size() && text[pos] == '\r') ++pos;
  if (pos < text.size() && text[pos] == '\n') ++pos;
  return line;
}

std::vector<FieldGroup> FieldGroups(std::string_view text, std::size_t mostGroups) {
  std::vector<FieldGroup> groups;
  bool inGroup = false;  // no blank line since the group's last field
  bool open = false;     // a folded line goes on with the group's last field
  for (std::size_t pos = 0; pos < text.size();) {
    const std::string_view line = NextLine(text, pos);
    if (Trim(line).empty()) {
      inGroup = open = false;
    } else if (IsBlank(line.front())) {
      if (open) {
        std::string_view& value = groups.back().back().value;
        value = std::string_view(value.data(), static_cast<std::size_t>(line.data() + line.size() - value.data()));
      }
    } else {
      const std::size_t colon = line.find(':');
      const std::string_view name = colon == std::string_view::npos ? "" : Trim(line.substr(0, colon));
      open = IsFieldName(name);
      if (!open) continue;
      if (!inGroup && groups.size() == mostGroups) break;
      if (!inGroup) groups.emplace_back();
      inGroup = true;
      open = groups.back().size() < kMostFieldsInGroup;
      if (open) groups.back().push_back({name, line.substr(colon + 1)});
    }
  }
  return groups;
}

std::optional<std::string_view> FieldValue(const FieldGroup& group, std::string_view name) {
  for (const ReportField& field : group)
    if (SameName(field.name, name)) return field.value;
  return std::nullopt;
}

std::string Unfolded(std::string_view value) {
  std::string out;
  out.reserve(value.size());
  for (std::size_t i = 0; i < value.size(); ++i) {
    if (value[i] != '\r' && value[i] != '\n') {
      out.push_back(value[i]);
      continue;
    }
    while (!out.empty() && IsBlank(out.back())) out.pop_back();
    while (i + 1 < value.size() && (IsBlank(value[i + 1]) || value[i + 1] == '\r' || value[i + 1] == '\n')) ++i;
    out.push_back(' ');
  }
  return std::string(Trim(out));
}

std::string RecipientAddress(std::string_view text) {
  text = Trim(text);
  if (text.starts_with('<')) {
    const std::size_t close = text.find('>');
    if (close == std::string_view::npos) return {};
    text = Trim(text.substr(1, close - 1));
  }
  const std::size_t at = text.rfind('@');
  if (text.size() > kLongestAddress || at == std::string_view::npos || at == 0 || at + 1 == text.size() ||
      !std::all_of(text.begin(), text.end(), IsAddressCharacter))
    return {};
  std::string address(text);
  std::transform(address.begin() + static_cast<std::ptrdiff_t>(at) + 1, address.end(),
                 address.begin() + static_cast<std::ptrdiff_t>(at) + 1, [](char c) { return LowerAscii(c); });
  return address;
}

std::string StatusIn(std::string_view text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (i > 0 && (IsAlnum(text[i - 1]) || text[i - 1] == '.')) continue;
    const std::size_t n = StatusCodeLength(text, i);
    const std::size_t end = i + n;
    if (n == 0 || (end < text.size() &&
                   (IsAlnum(text[end]) || (text[end] == '.' && end + 1 < text.size() && IsDigit(text[end + 1])))))
      continue;
    return std::string(text.substr(i, n));
  }
  return {};
}

std::string ReasonText(std::string_view raw, std::string_view charset) {
  std::string text = ReceivedTextToSjis(Unfolded(raw.substr(0, kReasonLimit)), charset);
  for (char& c : text)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
  return std::string(Trim(text));
}

}  // namespace zentavo
