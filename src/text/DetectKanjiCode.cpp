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

namespace zentavo {

namespace {

bool InRange(std::uint8_t c, std::uint8_t lo, std::uint8_t hi) {
  return c >= lo && c <= hi;
}

bool IsControlOrFF(std::uint8_t c) { return c < 0x08 || c == 0xFF; }

}  // namespace

int DetectKanjiCode(std::string_view text) {
  const std::size_t n = text.size();
  // 1-based access; every caller below keeps pos within 1..n.
  auto at = [text](std::size_t pos) {
    return static_cast<std::uint8_t>(text[pos - 1]);
  };

  // Control bytes near the start mark a binary text. The last byte is left
  // out, so a single stray byte at the very end does not count.
  const std::size_t binary_end = std::min<std::size_t>(512, n == 0 ? 0 : n - 1);
  for (std::size_t pos = 1; pos <= binary_end; ++pos) {
    if (IsControlOrFF(at(pos))) return kCodeBinary;
  }

  int code = kCodeAscii;
  // pos < n: the last byte is never taken as a lead byte, which also means
  // the byte after a lead byte always exists.
  for (std::size_t pos = 1; (code == kCodeAscii || code == kCodeEucOrSjis) && pos < n;
       ++pos) {
    const std::uint8_t c = at(pos);
    if (c == 0x1B) {
      ++pos;
      if (at(pos) == '$' && pos < n) {
        ++pos;
        if (at(pos) == 'B') {
          code = kCodeJisNew;
        } else if (at(pos) == '@') {
          code = kCodeJisOld;
        }
      }
    } else if (IsControlOrFF(c)) {
      code = kCodeBinary;
    } else if (c <= 0x7F) {
      // plain ASCII decides nothing
    } else if (InRange(c, 0x81, 0x8D) || InRange(c, 0x8F, 0x9F)) {
      code = kCodeSjis;
    } else if (c == 0x8E) {
      const std::uint8_t d = at(++pos);
      if (InRange(d, 0x40, 0x7E) || InRange(d, 0x80, 0xA0) || InRange(d, 0xE0, 0xFC)) {
        code = kCodeSjis;
      } else if (InRange(d, 0xA1, 0xDF)) {
        code = kCodeEucOrSjis;
      }
    } else if (InRange(c, 0xA1, 0xDF)) {
      const std::uint8_t d = at(++pos);
      if (InRange(d, 0xF0, 0xFE)) {
        code = kCodeEuc;
      } else if (InRange(d, 0xA1, 0xDF)) {
        code = kCodeEucOrSjis;
      } else if (InRange(d, 0xE0, 0xEF)) {
        // A half-width katakana followed by an EUC lead byte or a Shift_JIS
        // kanji lead byte: read on until a byte settles it or plain text
        // starts again.
        code = kCodeEucOrSjis;
        std::uint8_t b = d;
        while (code == kCodeEucOrSjis && b >= 0x40 && pos < n) {
          b = at(++pos);
          if (InRange(b, 0x81, 0x8D) || InRange(b, 0x8F, 0x9C)) {
            code = kCodeSjis;
          } else if (InRange(b, 0xFD, 0xFE)) {
            code = kCodeEuc;
          }
        }
      } else if (d <= 0x9F) {
        code = kCodeSjis;
      }
      // 0xA0 and 0xFF decide nothing.
    } else if (InRange(c, 0xE0, 0xEF)) {
      const std::uint8_t d = at(++pos);
      if (InRange(d, 0x40, 0x7E) || InRange(d, 0x80, 0xA0)) {
        code = kCodeSjis;
      } else if (InRange(d, 0xFD, 0xFE)) {
        code = kCodeEuc;
      } else if (InRange(d, 0xA1, 0xFC)) {
        code = kCodeEucOrSjis;
      }
    } else if (InRange(c, 0xF0, 0xFE)) {
      code = kCodeEuc;
    }
    // 0x80 and 0xA0 decide nothing.
  }
  return code;
}

}  // namespace zentavo
