// Conversions between the three Japanese codes the program meets: Shift_JIS
// (code page 932, how every text is held), ISO-2022-JP ("JIS", how mail
// travels) and EUC-JP. All functions work on bytes and keep no state.
// Outgoing mail has a conversion of its own: text/SjisToMailJis.h.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zentavo {

// What DetectKanjiCode finds in a text.
enum class KanjiCode {
  Ascii,   // no byte decided the code
  Binary,  // control bytes
  JisNew,  // holds ESC "$B"
  JisOld,  // holds ESC "$@"
  Euc,
  Sjis,
  EucOrSjis,  // undecided
};

// What ConvertKanjiCode turns a text into.
enum class KanjiTarget { Jis, Euc, Sjis };

KanjiCode DetectKanjiCode(std::string_view text);

// Detects the code of `text` and converts it to `target`. Never fails: a
// text already in that code, undecided, binary or plain ASCII comes back
// unchanged.
std::string ConvertKanjiCode(std::string_view text, KanjiTarget target);

std::string SjisToJis(std::string_view text);
std::string EucToJis(std::string_view text);
std::string JisToSjis(std::string_view text);
std::string EucToSjis(std::string_view text);
std::string JisToEuc(std::string_view text);
std::string SjisToEuc(std::string_view text);

std::array<std::uint8_t, 2> JisPairToSjis(std::uint8_t j1, std::uint8_t j2);
std::array<std::uint8_t, 2> SjisPairToJis(std::uint8_t s1, std::uint8_t s2);

// The full-width JIS X 0208 character of the half-width katakana or mark
// `kana` (0xA1-0xDF). `next` is the half-width byte that follows it, if any:
// a voiced or semi-voiced mark there is folded into the kana when a voiced
// form exists (ｶﾞ -> ガ), and `markTaken` says so.
struct FullWidthKana {
  std::array<std::uint8_t, 2> jis;
  bool markTaken;
};
FullWidthKana HalfWidthKanaToJis(std::uint8_t kana, std::optional<std::uint8_t> next);

}  // namespace zentavo
