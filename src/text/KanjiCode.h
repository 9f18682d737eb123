// Conversions between the three Japanese codes the program meets: Shift_JIS
// (code page 932, how every text is held), ISO-2022-JP ("JIS", how mail
// travels) and EUC-JP. All functions work on bytes and keep no state.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace zentavo {

// Detection results, also used as conversion targets (2, 4 and 5).
enum KanjiCode : int {
  kCodeAscii = 0,       // no byte decided the code
  kCodeBinary = 1,      // control bytes
  kCodeJisNew = 2,      // holds ESC "$B"
  kCodeJisOld = 3,      // holds ESC "$@"
  kCodeEuc = 4,
  kCodeSjis = 5,
  kCodeEucOrSjis = 6,   // undecided
};

int DetectKanjiCode(std::string_view text);

// Detects the code of `text` and converts it to `target` (2, 4 or 5). Never
// fails: an unknown target or an undecided text comes back unchanged.
std::string ConvertKanjiCode(std::string_view text, int target);

std::string SjisToJis(std::string_view text);
std::string EucToJis(std::string_view text);
std::string JisToSjis(std::string_view text);
std::string EucToSjis(std::string_view text);
std::string JisToEuc(std::string_view text);
std::string SjisToEuc(std::string_view text);

std::array<std::uint8_t, 2> JisPairToSjis(std::uint8_t j1, std::uint8_t j2);
std::array<std::uint8_t, 2> SjisPairToJis(std::uint8_t s1, std::uint8_t s2);

}  // namespace zentavo
