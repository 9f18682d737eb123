// Decoding of RFC 2047 encoded words in received header text (From, Subject).
// Only "=?ISO-2022-JP?B?" words are recognised; everything else passes
// through. The result is Shift_JIS.
#pragma once

#include <string>
#include <string_view>

namespace zentavo {

std::string DecodeEncodedWords(std::string_view text);

// The decoder's own Base64 step: groups of four, zero bytes in the second and
// third place of a group dropped, an incomplete last group dropped.
std::string DecodeBase64Groups(std::string_view text);

// ISO-2022-JP bytes of one word to Shift_JIS.
std::string JisWordToSjis(std::string_view bytes);

}  // namespace zentavo
