// The header-like text of delivery reports, read leniently: the field groups
// of a delivery-status part (RFC 3464, RFC 6533) and the headers of a
// returned message, as mail servers write them: any letter case, folded or
// not, blanks where they please, a stray line here and there.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zentavo {

struct ReportField {
  std::string_view name;   // as written
  std::string_view value;  // raw: after the colon, folding included
};
using FieldGroup = std::vector<ReportField>;

// The line that starts at `pos`, without its line end (CR LF, LF or CR);
// `pos` moves on to the start of the next line.
std::string_view NextLine(std::string_view text, std::size_t& pos);

// The groups of fields in `text`, one per run of lines between blank lines,
// at most `mostGroups` of them. A line that is no field and continues none
// is passed over; a group keeps its first fields up to a sensible number.
std::vector<FieldGroup> FieldGroups(std::string_view text, std::size_t mostGroups);

// The value of the group's first field of that name (any letter case), or
// nothing.
std::optional<std::string_view> FieldValue(const FieldGroup& group, std::string_view name);

// A value on one line: each line break, with the blanks around it, as one
// blank; no blanks at either end.
std::string Unfolded(std::string_view value);

// The mail address in `text` ("tanaka@example.jp", "<tanaka@example.jp>",
// blanks around it) as the program writes addresses: printable ASCII with no
// blank, a local part, "@", and the domain in lower case. Empty when `text`
// holds no such address.
std::string RecipientAddress(std::string_view text);

// The first enhanced status code ("5.1.1", RFC 3463) standing as a word of
// its own in `text`, or "".
std::string StatusIn(std::string_view text);

// A reason a server gave, on one line of Shift_JIS, cut to a sensible length.
// `charset` names the charset of its 8-bit bytes, "" when unknown.
std::string ReasonText(std::string_view raw, std::string_view charset);

}  // namespace zentavo
