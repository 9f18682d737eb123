// The two Japanese codes of received mail that go by the JIS pair rule
// rather than through glibc: ISO-2022-JP with what mail programs add to it,
// and EUC-JP. glibc's converters lack JIS rows 13 and 89-92, where Japanese
// mail programs put code page 932's NEC characters (①, ㈱) and NEC-selected
// IBM kanji (髙); the pair rule reads them as code page 932 has them.
//
// A byte that cannot belong to the code becomes 〓. A code that the pair
// rule gives but code page 932 leaves empty is not looked at here: callers
// keep to code page 932 (ReceivedTextToSjis does).
#pragma once

#include <string>
#include <string_view>

namespace zentavo {

// ISO-2022-JP (RFC 1468) with the NEC rows of "-MS" writers, half-width
// katakana by ESC "(I" or by SO and SI, JIS X 0212 of "-1" and "-2", and the
// JIS X 0208 part of JIS X 0213 ("-3", "-2004"). What ISO-2022-JP-2 adds for
// other languages (Chinese, Korean, single-shifted Latin and Greek) becomes
// 〓: code page 932 has next to none of it.
std::string ReceivedJisToSjis(std::string_view jis);

// EUC-JP, with the half-width katakana of 0x8E and JIS X 0212 of 0x8F.
std::string ReceivedEucToSjis(std::string_view euc);

// Whether `text` designates a Japanese set by an ISO-2022-JP escape.
bool HasJisDesignation(std::string_view text);

// Whether every byte of `text` belongs to a well-formed EUC-JP character.
bool IsWellFormedEuc(std::string_view text);

}  // namespace zentavo
