// Guessing the Japanese code of a text from its bytes.
//
// This is a byte-oriented guess, not a validating decoder: it stops at the
// first byte that settles the question, so a long Shift_JIS body costs next
// to nothing, and it must classify texts the same way every time, since the
// result decides whether and how a text is converted. Positions count from 1
// here; with that the bounds of the walk stay easy to check by eye.
#include "text/KanjiCode.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace zentavo {

namespace {

bool InRange(std::uint8_t c, std::uint8_t lo, std::uint8_t hi) { return c >= lo && c <= hi; }

bool IsControlOrFF(std::uint8_t c) { return c < 0x08 || c == 0xFF; }

// The walk's place in the text, 1-based; every step keeps pos within 1..n.
struct Walk {
  std::string_view text;
  std::size_t pos = 1;

  std::uint8_t At(std::size_t p) const { return static_cast<std::uint8_t>(text[p - 1]); }
  std::uint8_t Next() { return At(++pos); }
  bool BeforeLast() const { return pos < text.size(); }
};

// Control bytes near the start mark a binary text. The last byte is left
// out, so a single stray byte at the very end does not count.
bool BinaryNearStart(std::string_view text) {
  const std::size_t n = text.size();
  const std::size_t binaryEnd = std::min<std::size_t>(512, n == 0 ? 0 : n - 1);
  for (std::size_t pos = 1; pos <= binaryEnd; ++pos) {
    if (IsControlOrFF(static_cast<std::uint8_t>(text[pos - 1]))) return true;
  }
  return false;
}

// ESC "$B" and ESC "$@" decide JIS; any other escape decides nothing.
std::optional<KanjiCode> AfterEscape(Walk& walk) {
  if (walk.Next() != '$' || !walk.BeforeLast()) return std::nullopt;
  const std::uint8_t last = walk.Next();
  if (last == 'B') return KanjiCode::JisNew;
  if (last == '@') return KanjiCode::JisOld;
  return std::nullopt;
}

// 0x8E: a Shift_JIS lead byte, or EUC-JP's prefix of a half-width kana.
std::optional<KanjiCode> AfterEucKanaPrefix(std::uint8_t d) {
  if (InRange(d, 0x40, 0x7E) || InRange(d, 0x80, 0xA0) || InRange(d, 0xE0, 0xFC)) return KanjiCode::Sjis;
  if (InRange(d, 0xA1, 0xDF)) return KanjiCode::EucOrSjis;
  return std::nullopt;
}

// A half-width katakana followed by an EUC lead byte or a Shift_JIS kanji
// lead byte (0xE0-0xEF): read on until a byte settles it or plain text
// starts again.
KanjiCode ReadOnAfterKana(Walk& walk, std::uint8_t d) {
  KanjiCode code = KanjiCode::EucOrSjis;
  std::uint8_t b = d;
  while (code == KanjiCode::EucOrSjis && b >= 0x40 && walk.BeforeLast()) {
    b = walk.Next();
    if (InRange(b, 0x81, 0x8D) || InRange(b, 0x8F, 0x9C)) {
      code = KanjiCode::Sjis;
    } else if (InRange(b, 0xFD, 0xFE)) {
      code = KanjiCode::Euc;
    }
  }
  return code;
}

// 0xA1-0xDF: a Shift_JIS half-width katakana or an EUC-JP lead byte.
std::optional<KanjiCode> AfterHalfWidthKana(Walk& walk) {
  const std::uint8_t d = walk.Next();
  if (InRange(d, 0xF0, 0xFE)) return KanjiCode::Euc;
  if (InRange(d, 0xA1, 0xDF)) return KanjiCode::EucOrSjis;
  if (InRange(d, 0xE0, 0xEF)) return ReadOnAfterKana(walk, d);
  if (d <= 0x9F) return KanjiCode::Sjis;
  return std::nullopt;  // 0xA0 and 0xFF decide nothing
}

// 0xE0-0xEF: a lead byte in both codes; the second byte may tell them apart.
std::optional<KanjiCode> AfterSharedLead(std::uint8_t d) {
  if (InRange(d, 0x40, 0x7E) || InRange(d, 0x80, 0xA0)) return KanjiCode::Sjis;
  if (InRange(d, 0xFD, 0xFE)) return KanjiCode::Euc;
  if (InRange(d, 0xA1, 0xFC)) return KanjiCode::EucOrSjis;
  return std::nullopt;
}

// What the byte at the walk's place (and those it takes with it) says;
// nothing when it decides nothing.
std::optional<KanjiCode> Step(Walk& walk) {
  const std::uint8_t c = walk.At(walk.pos);
  if (c == 0x1B) return AfterEscape(walk);
  if (IsControlOrFF(c)) return KanjiCode::Binary;
  if (c <= 0x7F) return std::nullopt;  // plain ASCII decides nothing
  if (InRange(c, 0x81, 0x8D) || InRange(c, 0x8F, 0x9F)) return KanjiCode::Sjis;
  if (c == 0x8E) return AfterEucKanaPrefix(walk.Next());
  if (InRange(c, 0xA1, 0xDF)) return AfterHalfWidthKana(walk);
  if (InRange(c, 0xE0, 0xEF)) return AfterSharedLead(walk.Next());
  if (InRange(c, 0xF0, 0xFE)) return KanjiCode::Euc;
  return std::nullopt;  // 0x80 and 0xA0 decide nothing
}

}  // namespace

KanjiCode DetectKanjiCode(std::string_view text) {
  if (BinaryNearStart(text)) return KanjiCode::Binary;
  KanjiCode code = KanjiCode::Ascii;
  // pos < n: the last byte is never taken as a lead byte, which also means
  // the byte after a lead byte always exists.
  for (Walk walk{text}; (code == KanjiCode::Ascii || code == KanjiCode::EucOrSjis) && walk.BeforeLast(); ++walk.pos) {
    code = Step(walk).value_or(code);
  }
  return code;
}

}  // namespace zentavo
