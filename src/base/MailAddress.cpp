#include "base/MailAddress.h"
#include "text/Ascii.h"

#include <cstdint>

namespace zentavo {

namespace {

// A backslash escapes the next byte only after a 7-bit byte: after a byte
// above 0x7F it is the second byte of a Shift_JIS character.
bool EscapeAt(std::string_view s, std::size_t i) {
  return s[i] == '\\' && (i == 0 || static_cast<std::uint8_t>(s[i - 1]) < 0x80);
}

}  // namespace

std::string NormalAddress(std::string_view address) {
  // Quoted text is kept without its quotes, comments and blanks go.
  std::string out;
  bool quoted = false;
  int comment = 0;
  for (std::size_t i = 0; i < address.size(); ++i) {
    const char c = address[i];
    if (quoted) {
      if (EscapeAt(address, i) && i + 1 < address.size())
        out.push_back(address[++i]);
      else if (c == '"')
        quoted = false;
      else
        out.push_back(c);
    } else if (comment > 0) {
      if (EscapeAt(address, i))
        ++i;
      else
        comment += c == '(' ? 1 : c == ')' ? -1 : 0;
    } else if (c == '"') {
      quoted = true;
    } else if (c == '(') {
      ++comment;
    } else if (c != ' ' && c != '\t' && c != '\r' && c != '\n') {
      out.push_back(c);
    }
  }
  for (char& c : out) c = LowerAscii(c);
  return out;
}

}  // namespace zentavo
