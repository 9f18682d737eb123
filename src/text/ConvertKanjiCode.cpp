// Whole-text conversions between Shift_JIS, ISO-2022-JP and EUC-JP.
//
// These are byte arithmetic, not table lookups through Unicode: the pair
// rules map any two bytes to two bytes, so nothing is ever rejected and a
// damaged text comes out as damaged as it went in rather than cut short.
//
// Input that ends in the middle of something is handled the same way in
// every direction, and never by reading past the end:
//   - a lead byte whose second byte is missing (Shift_JIS or EUC-JP lead
//     byte, the EUC-JP kana prefix 0x8E, or the first byte of a JIS pair in
//     kanji mode) is dropped; converting to JIS, no ESC "$B" is written for
//     it either;
//   - an escape sequence cut short (ESC or ESC "$" as the last bytes) is
//     consumed as far as it goes and writes nothing;
//   - a half-width katakana as the last byte is converted on its own.
// Inside the text, an EUC-JP 0x8E that is not followed by a half-width
// katakana byte (0xA1-0xDF) is dropped and the byte after it handled on its
// own; JIS has no place for a kana prefix without its kana.
#include "text/KanjiCode.h"

#include <cstddef>
#include <optional>

namespace zentavo {

namespace {

using Pair = std::array<std::uint8_t, 2>;

constexpr std::string_view kKanjiIn = "\x1b$B";   // JIS X 0208 starts
constexpr std::string_view kKanjiOut = "\x1b(J";  // JIS X 0201 Roman starts
constexpr char kEsc = '\x1b';
constexpr std::uint8_t kVoicedMark = 0xDE;      // ﾞ
constexpr std::uint8_t kSemiVoicedMark = 0xDF;  // ﾟ
constexpr std::uint8_t kEucKanaPrefix = 0x8E;

// Full-width JIS X 0208 character for every half-width byte 0xA1..0xDF.
// Kana that can take a voiced mark map to the plain form, so the voiced form
// is the next cell (and the semi-voiced one the cell after that for ﾊ..ﾎ).
constexpr std::array<Pair, 63> kHalfWidthKana = {{
    {0x21, 0x23}, {0x21, 0x56}, {0x21, 0x57}, {0x21, 0x22}, {0x21, 0x26},  // ｡｢｣､･
    {0x25, 0x72},                                                          // ｦ
    {0x25, 0x21}, {0x25, 0x23}, {0x25, 0x25}, {0x25, 0x27}, {0x25, 0x29},  // ｧｨｩｪｫ
    {0x25, 0x63}, {0x25, 0x65}, {0x25, 0x67},                              // ｬｭｮ
    {0x25, 0x43},                                                          // ｯ
    {0x21, 0x3C},                                                          // ｰ
    {0x25, 0x22}, {0x25, 0x24}, {0x25, 0x26}, {0x25, 0x28}, {0x25, 0x2A},  // ｱｲｳｴｵ
    {0x25, 0x2B}, {0x25, 0x2D}, {0x25, 0x2F}, {0x25, 0x31}, {0x25, 0x33},  // ｶｷｸｹｺ
    {0x25, 0x35}, {0x25, 0x37}, {0x25, 0x39}, {0x25, 0x3B}, {0x25, 0x3D},  // ｻｼｽｾｿ
    {0x25, 0x3F}, {0x25, 0x41}, {0x25, 0x44}, {0x25, 0x46}, {0x25, 0x48},  // ﾀﾁﾂﾃﾄ
    {0x25, 0x4A}, {0x25, 0x4B}, {0x25, 0x4C}, {0x25, 0x4D}, {0x25, 0x4E},  // ﾅﾆﾇﾈﾉ
    {0x25, 0x4F}, {0x25, 0x52}, {0x25, 0x55}, {0x25, 0x58}, {0x25, 0x5B},  // ﾊﾋﾌﾍﾎ
    {0x25, 0x5E}, {0x25, 0x5F}, {0x25, 0x60}, {0x25, 0x61}, {0x25, 0x62},  // ﾏﾐﾑﾒﾓ
    {0x25, 0x64}, {0x25, 0x66}, {0x25, 0x68},                              // ﾔﾕﾖ
    {0x25, 0x69}, {0x25, 0x6A}, {0x25, 0x6B}, {0x25, 0x6C}, {0x25, 0x6D},  // ﾗﾘﾙﾚﾛ
    {0x25, 0x6F}, {0x25, 0x73},                                            // ﾜﾝ
    {0x21, 0x2B}, {0x21, 0x2C},                                            // ﾞﾟ
}};

bool InRange(std::uint8_t c, std::uint8_t lo, std::uint8_t hi) { return c >= lo && c <= hi; }

bool IsHalfWidthKana(std::uint8_t c) { return InRange(c, 0xA1, 0xDF); }

std::uint8_t At(std::string_view text, std::size_t i) { return static_cast<std::uint8_t>(text[i]); }

void Append(std::string& out, Pair p) {
  out.push_back(static_cast<char>(p[0]));
  out.push_back(static_cast<char>(p[1]));
}

// Output side of a conversion to JIS: switches between one-byte text and
// JIS X 0208 pairs with the escape sequences, lazily, so that an escape is
// written only in front of what it introduces.
class JisWriter {
 public:
  void Single(std::uint8_t c) {
    if (kanji_) {
      out_ += kKanjiOut;
      kanji_ = false;
    }
    out_.push_back(static_cast<char>(c));
  }
  void Double(Pair p) {
    if (!kanji_) {
      out_ += kKanjiIn;
      kanji_ = true;
    }
    Append(out_, p);
  }
  // No closing escape: a text that ends in kanji mode stays that way.
  std::string Take() { return std::move(out_); }

 private:
  std::string out_;
  bool kanji_ = false;
};

std::optional<std::uint8_t> ByteAt(std::string_view text, std::size_t i) {
  if (i < text.size()) return At(text, i);
  return std::nullopt;
}

// Walks a JIS text. An ESC always takes three bytes; "$" as its second byte
// enters kanji mode, "(" leaves it. The byte right after an escape goes
// straight to `data` without being looked at as a new escape. `data`
// handles the byte at i and returns the position after what it used.
template <typename DataFn>
std::string WalkJis(std::string_view text, DataFn data) {
  std::string out;
  out.reserve(text.size());
  bool kanji = false;
  std::size_t i = 0;
  while (i < text.size()) {
    if (text[i] == kEsc) {
      if (i + 1 < text.size()) {
        if (text[i + 1] == '$') {
          kanji = true;
        } else if (text[i + 1] == '(') {
          kanji = false;
        }
      }
      i += 3;
      if (i >= text.size()) break;
    }
    i = data(text, i, kanji, out);
  }
  return out;
}

}  // namespace

// JIS has no half-width kana, and a voiced kana sent as kana plus stand-alone
// mark reads badly, so the mark is folded in wherever a voiced form exists.
FullWidthKana HalfWidthKanaToJis(std::uint8_t kana, std::optional<std::uint8_t> next) {
  Pair jis = kHalfWidthKana[kana - 0xA1];
  if (next == kVoicedMark) {
    if (kana == 0xB3) return {{0x25, 0x74}, true};  // ｳﾞ -> ヴ
    if (InRange(kana, 0xB6, 0xC4) || InRange(kana, 0xCA, 0xCE)) {
      jis[1] = static_cast<std::uint8_t>(jis[1] + 1);
      return {jis, true};
    }
  } else if (next == kSemiVoicedMark && InRange(kana, 0xCA, 0xCE)) {
    jis[1] = static_cast<std::uint8_t>(jis[1] + 2);
    return {jis, true};
  }
  return {jis, false};
}

std::array<std::uint8_t, 2> SjisPairToJis(std::uint8_t s1, std::uint8_t s2) {
  // All arithmetic is on bytes, so it wraps modulo 256 for bytes that are not
  // a valid Shift_JIS pair.
  std::uint8_t j1 = static_cast<std::uint8_t>((s1 < 0xA0 ? s1 - 0x70 : s1 - 0xB0) * 2);
  std::uint8_t j2;
  if (s2 < 0x9F) {
    j1 = static_cast<std::uint8_t>(j1 - 1);
    j2 = static_cast<std::uint8_t>(s2 < 0x80 ? s2 - 0x1F : s2 - 0x20);
  } else {
    j2 = static_cast<std::uint8_t>(s2 - 0x7E);
  }
  return {j1, j2};
}

std::array<std::uint8_t, 2> JisPairToSjis(std::uint8_t j1, std::uint8_t j2) {
  const auto s1 = static_cast<std::uint8_t>((j1 + 1) / 2 + (j1 < 0x5F ? 0x70 : 0xB0));
  int offset;
  if (j1 % 2 == 1) {
    offset = j2 < 0x60 ? 0x1F : 0x20;
  } else {
    offset = 0x7E;
  }
  return {s1, static_cast<std::uint8_t>(j2 + offset)};
}

// Walks `text` into JIS: ASCII as it is, every other byte (and what
// follows it) through `other`, which writes it and says how many bytes it
// took.
template <class Other>
std::string ToJis(std::string_view text, Other other) {
  JisWriter out;
  for (std::size_t i = 0; i < text.size();) {
    const std::uint8_t c = At(text, i);
    if (c < 0x80) {
      out.Single(c);
      ++i;
    } else {
      i += other(out, i, c);
    }
  }
  return out.Take();
}

std::string SjisToJis(std::string_view text) {
  return ToJis(text, [text](JisWriter& out, std::size_t i, std::uint8_t c) -> std::size_t {
    if (IsHalfWidthKana(c)) {
      const FullWidthKana k = HalfWidthKanaToJis(c, ByteAt(text, i + 1));
      out.Double(k.jis);
      return k.markTaken ? 2 : 1;
    }
    if (i + 1 >= text.size()) return 1;  // lead byte without its second byte
    out.Double(SjisPairToJis(c, At(text, i + 1)));
    return 2;
  });
}

std::string EucToJis(std::string_view text) {
  return ToJis(text, [text](JisWriter& out, std::size_t i, std::uint8_t c) -> std::size_t {
    if (c == kEucKanaPrefix) {
      const auto kana = ByteAt(text, i + 1);
      if (!kana || !IsHalfWidthKana(*kana)) return 1;  // prefix without a kana byte
      // A mark is itself a prefixed byte in EUC-JP: 0x8E 0xDE or 0x8E 0xDF.
      std::optional<std::uint8_t> mark;
      if (ByteAt(text, i + 2) == kEucKanaPrefix) mark = ByteAt(text, i + 3);
      const FullWidthKana k = HalfWidthKanaToJis(*kana, mark);
      out.Double(k.jis);
      return k.markTaken ? 4 : 2;
    }
    if (i + 1 >= text.size()) return 1;  // lead byte without its second byte
    out.Double({static_cast<std::uint8_t>(c & 0x7F), static_cast<std::uint8_t>(At(text, i + 1) & 0x7F)});
    return 2;
  });
}

std::string JisToSjis(std::string_view text) {
  return WalkJis(text, [](std::string_view t, std::size_t i, bool kanji, std::string& out) {
    if (!kanji) {
      out.push_back(t[i]);
      return i + 1;
    }
    if (i + 1 < t.size()) Append(out, JisPairToSjis(At(t, i), At(t, i + 1)));
    return i + 2;  // a lone last byte of a pair is dropped
  });
}

std::string JisToEuc(std::string_view text) {
  return WalkJis(text, [](std::string_view t, std::size_t i, bool kanji, std::string& out) {
    std::uint8_t c = At(t, i);
    if (kanji && InRange(c, 0x21, 0x7E)) c |= 0x80;
    out.push_back(static_cast<char>(c));
    return i + 1;
  });
}

std::string EucToSjis(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    const std::uint8_t c = At(text, i);
    if (c < 0x81 || c == 0xFF) {
      out.push_back(static_cast<char>(c));
      i += 1;
      continue;
    }
    if (i + 1 >= text.size()) break;  // lead byte or 0x8E without its second byte
    const std::uint8_t d = At(text, i + 1);
    if (c == kEucKanaPrefix) {
      out.push_back(static_cast<char>(d));
    } else {
      Append(out, JisPairToSjis(c & 0x7F, d & 0x7F));
    }
    i += 2;
  }
  return out;
}

std::string SjisToEuc(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 2);
  std::size_t i = 0;
  while (i < text.size()) {
    const std::uint8_t c = At(text, i);
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
      i += 1;
    } else if (IsHalfWidthKana(c)) {
      out.push_back(static_cast<char>(kEucKanaPrefix));
      out.push_back(static_cast<char>(c));
      i += 1;
    } else {
      if (i + 1 >= text.size()) break;  // lead byte without its second byte
      const Pair j = SjisPairToJis(c, At(text, i + 1));
      Append(out, {static_cast<std::uint8_t>(j[0] | 0x80), static_cast<std::uint8_t>(j[1] | 0x80)});
      i += 2;
    }
  }
  return out;
}

std::string ConvertKanjiCode(std::string_view text, KanjiTarget target) {
  const KanjiCode detected = DetectKanjiCode(text);
  const bool fromJis = detected == KanjiCode::JisNew || detected == KanjiCode::JisOld;
  // A text already in the target's code, undecided, binary or plain ASCII
  // matches no case and comes back as it is.
  switch (target) {
    case KanjiTarget::Jis:
      if (detected == KanjiCode::Euc) return EucToJis(text);
      if (detected == KanjiCode::Sjis) return SjisToJis(text);
      break;
    case KanjiTarget::Euc:
      if (fromJis) return JisToEuc(text);
      if (detected == KanjiCode::Sjis) return SjisToEuc(text);
      break;
    case KanjiTarget::Sjis:
      if (fromJis) return JisToSjis(text);
      if (detected == KanjiCode::Euc) return EucToSjis(text);
      break;
  }
  return std::string(text);
}

}  // namespace zentavo
