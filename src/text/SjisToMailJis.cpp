// Shift_JIS to the ISO-2022-JP of outgoing mail.
//
// Unlike ConvertKanjiCode and SjisToJis, which keep to the plain pair rule
// for the data tool and for received text, this conversion must never let
// out a byte that the label "ISO-2022-JP, 7bit" does not allow, and must
// send code page 932's extensions the way readers expect them:
//   - NEC special characters (lead 0x87) and NEC-selected IBM extensions
//     (0xED40-0xEEFC) need nothing special: the pair rule puts them in JIS
//     rows 13 and 89-92, where Japanese mail programs look for them;
//   - IBM extensions (0xFA40-0xFC4B) have no JIS row of their own; the pair
//     rule would give 8-bit bytes. They are sent as the code that code page
//     932 pairs them with: the kanji as the NEC-selected copies in the same
//     order, the non-kanji as listed below;
//   - the user-defined area (0xF040-0xF9FC) means something only on the
//     machine that defined it, and bytes that are no character at all
//     cannot be sent either: both become the geta mark 〓, which is what a
//     Japanese reader knows as "a character that could not be shown".
#include "text/SjisToMailJis.h"

#include <cstdint>
#include <optional>

#include "text/KanjiCode.h"

namespace zentavo {

namespace {

using Pair = std::array<std::uint8_t, 2>;

constexpr std::string_view kKanjiIn = "\x1b$B";  // JIS X 0208 starts
constexpr std::string_view kAsciiIn = "\x1b(B";  // ASCII starts
constexpr Pair kGeta = {0x22, 0x2E};             // 〓

bool InRange(std::uint8_t c, std::uint8_t lo, std::uint8_t hi) { return c >= lo && c <= hi; }

bool IsLeadByte(std::uint8_t c) { return InRange(c, 0x81, 0x9F) || InRange(c, 0xE0, 0xFC); }

bool IsTrailByte(std::uint8_t c) { return InRange(c, 0x40, 0x7E) || InRange(c, 0x80, 0xFC); }

// Two-byte codes counted without gaps: 188 trail bytes for every lead byte.
// The IBM and the NEC-selected blocks run across lead bytes in the same
// order, so a position in one is the same position in the other.
int CodeIndex(std::uint8_t s1, std::uint8_t s2) { return s1 * 188 + s2 - (s2 < 0x80 ? 0x40 : 0x41); }

Pair CodeAt(int index) {
  const int trail = index % 188;
  return {static_cast<std::uint8_t>(index / 188), static_cast<std::uint8_t>(trail + (trail < 0x3F ? 0x40 : 0x41))};
}

const int kIbmFirst = CodeIndex(0xFA, 0x40);
const int kIbmLast = CodeIndex(0xFC, 0x4B);
const int kIbmKanjiFirst = CodeIndex(0xFA, 0x5C);
const int kNecSelectedKanjiFirst = CodeIndex(0xED, 0x40);
const int kNecSelectedSmallRomanFirst = CodeIndex(0xEE, 0xEF);  // ⅰ

// The IBM non-kanji after the numerals, 0xFA54-0xFA5B, as code page 932
// pairs them: ￢ ￤ ＇ ＂ ㈱ № ℡ ∵.
constexpr Pair kIbmSymbols[] = {{0x81, 0xCA}, {0xEE, 0xFA}, {0xEE, 0xFB}, {0xEE, 0xFC},
                                {0x87, 0x8A}, {0x87, 0x82}, {0x87, 0x84}, {0x81, 0xE6}};

// An IBM extension (index in kIbmFirst..kIbmLast) as the code that stands
// for the same character in the NEC rows or in JIS X 0208.
Pair IbmToPairedCode(int index) {
  const int n = index - kIbmFirst;
  if (n < 10) return CodeAt(kNecSelectedSmallRomanFirst + n);           // ⅰ..ⅹ
  if (n < 20) return {0x87, static_cast<std::uint8_t>(0x54 + n - 10)};  // Ⅰ..Ⅹ
  if (index < kIbmKanjiFirst) return kIbmSymbols[n - 20];
  return CodeAt(kNecSelectedKanjiFirst + index - kIbmKanjiFirst);
}

MailJisCharacter Ascii(char c) {
  MailJisCharacter m;
  m.bytes[0] = c;
  return m;
}

MailJisCharacter Kanji(Pair jis, std::size_t length) {
  MailJisCharacter m;
  m.ascii = false;
  m.bytes = {static_cast<char>(jis[0]), static_cast<char>(jis[1])};
  m.length = length;
  return m;
}

}  // namespace

MailJisCharacter MailJisCharacterAt(std::string_view sjis, std::size_t at) {
  const auto c = static_cast<std::uint8_t>(sjis[at]);
  if (c < 0x80) return Ascii(sjis[at]);
  std::optional<std::uint8_t> next;
  if (at + 1 < sjis.size()) next = static_cast<std::uint8_t>(sjis[at + 1]);
  if (InRange(c, 0xA1, 0xDF)) {
    const FullWidthKana kana = HalfWidthKanaToJis(c, next);
    return Kanji(kana.jis, kana.markTaken ? 2 : 1);
  }
  // A lead byte without a second byte that could belong to it stands alone;
  // the byte after it (a line end, say) is a character of its own.
  if (!IsLeadByte(c) || !next || !IsTrailByte(*next)) return Kanji(kGeta, 1);
  if (InRange(c, 0xF0, 0xF9)) return Kanji(kGeta, 2);  // user-defined
  if (c >= 0xFA) {
    const int index = CodeIndex(c, *next);
    if (index > kIbmLast) return Kanji(kGeta, 2);  // unassigned
    const Pair code = IbmToPairedCode(index);
    return Kanji(SjisPairToJis(code[0], code[1]), 2);
  }
  return Kanji(SjisPairToJis(c, *next), 2);
}

std::string SjisToMailJis(std::string_view sjis) {
  std::string out;
  out.reserve(sjis.size() + sjis.size() / 2);
  bool kanji = false;
  std::size_t i = 0;
  while (i < sjis.size()) {
    const MailJisCharacter m = MailJisCharacterAt(sjis, i);
    if (m.ascii == kanji) {
      out += kanji ? kAsciiIn : kKanjiIn;
      kanji = !kanji;
    }
    out.append(m.bytes.data(), m.ascii ? 1 : 2);
    i += m.length;
  }
  if (kanji) out += kAsciiIn;
  return out;
}

}  // namespace zentavo
