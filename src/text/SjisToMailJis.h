// Shift_JIS text as outgoing mail carries it: ISO-2022-JP (RFC 1468) that
// Japanese mail programs read back as the characters the operator typed.
//
// The text is known to be Shift_JIS (code page 932), so nothing is detected.
// ASCII goes as it is; runs of two-byte characters stand between ESC "$B"
// and ESC "(B", and every run is closed before a line end and at the end of
// the text, so a backslash or a tilde reaches the reader as itself.
// Half-width katakana become full-width. Code page 932's NEC special
// characters (①, ㈱, Ⅰ) and NEC-selected IBM extensions go out in JIS rows
// 13 and 89-92, and its IBM extensions as their NEC-selected or JIS X 0208
// twins, as Japanese mail programs send them. What has no 7-bit form at all
// (the user-defined area, stray bytes) becomes the geta mark 〓, so no
// 8-bit byte ever goes out.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace zentavo {

// One character of outgoing mail: an ASCII byte, or a JIS X 0208 pair that
// is written in kanji mode.
struct MailJisCharacter {
  bool ascii = true;
  std::array<char, 2> bytes{};  // bytes[0] alone when ascii
  std::size_t length = 1;       // Shift_JIS bytes it stands for
};

// The character of `sjis` that starts at `at` (which must lie inside it).
MailJisCharacter MailJisCharacterAt(std::string_view sjis, std::size_t at);

// The whole text, starting and ending in ASCII.
std::string SjisToMailJis(std::string_view sjis);

}  // namespace zentavo
