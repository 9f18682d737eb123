// The few ASCII operations every layer needs on its byte strings (Shift_JIS
// or the ASCII of protocols): letter case folded for the letters A to Z
// alone, and blanks trimmed. Each byte is taken as it is, as the program
// has always compared identifiers, addresses and header words.
#pragma once

#include <string>
#include <string_view>

namespace zentavo {

inline char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

inline std::string LowerAscii(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = LowerAscii(c);
  return out;
}

inline std::string UpperAscii(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return out;
}

inline bool EqualIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  return true;
}

// `s` without the bytes of `blanks` at either end.
inline std::string_view TrimAscii(std::string_view s, std::string_view blanks = " \t") {
  const std::size_t first = s.find_first_not_of(blanks);
  if (first == std::string_view::npos) return {};
  return s.substr(first, s.find_last_not_of(blanks) - first + 1);
}

}  // namespace zentavo
