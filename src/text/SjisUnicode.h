// Shift_JIS (code page 932) to and from UTF-8. The program holds every text
// as Shift_JIS bytes; these conversions are used only where text meets the
// outside world in Unicode: the windows, file names, and the message texts
// that the source code spells in UTF-8.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace zentavo {

// A UTF-8 text that code page 932 can hold in full, as Shift_JIS. Meant for
// the program's own fixed texts: a character outside code page 932 there is a
// programming error and throws std::logic_error.
std::string Sj(std::string_view utf8);

struct SjisConversion {
  std::string text;                  // Shift_JIS
  std::vector<std::string> dropped;  // UTF-8 characters that were left out
};

// Operator text to Shift_JIS. Characters that code page 932 cannot hold are
// left out and listed, never replaced by something else.
SjisConversion Utf8ToSjis(std::string_view utf8);

// Operator text that may go out by mail, to Shift_JIS: as Utf8ToSjis, and the
// characters of code page 932's user-defined area (U+E000-U+E757, Shift_JIS
// 0xF040-0xF9FC) are left out and listed as well. Mail has no code for them;
// a reader would only ever see a geta mark 〓 in their place.
SjisConversion Utf8ToMailSjis(std::string_view utf8);

// Shift_JIS to UTF-8. Bytes that are not valid code page 932 become U+FFFD.
std::string SjisToUtf8(std::string_view sjis);

}  // namespace zentavo
