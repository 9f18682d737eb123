// ISO-2022-JP and EUC-JP of received mail by the JIS pair rule.
#include "text/ReceivedJis.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>

#include "text/KanjiCode.h"
#include "text/KeptConverter.h"

namespace zentavo {

namespace {

constexpr std::string_view kGeta = "\x81\xAC";  // 〓
constexpr char kEsc = '\x1b';

bool InRange(std::uint8_t c, std::uint8_t lo, std::uint8_t hi) { return c >= lo && c <= hi; }
std::uint8_t At(std::string_view s, std::size_t i) { return static_cast<std::uint8_t>(s[i]); }

// A JIS X 0212 character, which code page 932 holds only in part (among its
// IBM extensions). glibc reads these right, as the three-byte codes of
// EUC-JP: what it lacks are the JIS X 0208 rows the pair rule is for.
std::string Jis0212ToSjis(std::uint8_t j1, std::uint8_t j2) {
  const char euc[] = {'\x8F', static_cast<char>(j1 | 0x80), static_cast<char>(j2 | 0x80)};
  std::string_view in(euc, sizeof euc);
  std::string sjis;
  KeptConverter cv("CP932", "EUC-JP");
  return cv.ok() && cv.Run(in, sjis) == 0 ? sjis : std::string(kGeta);
}

void AppendPair(std::string& out, std::array<std::uint8_t, 2> p) {
  out.push_back(static_cast<char>(p[0]));
  out.push_back(static_cast<char>(p[1]));
}

enum class JisSet { Ascii, Kana, Kanji, Supplement, Foreign };

struct Designation {
  std::string_view sequence;
  std::optional<JisSet> set;  // nothing: announces, designates nothing read here
};

// What ISO-2022-JP and its extensions designate into G0: JIS X 0213 plane 1
// ("-3", "-2004") is read by the pair rule for its JIS X 0208 part; Chinese,
// Korean and JIS X 0213 plane 2 have next to nothing in code page 932.
constexpr Designation kDesignations[] = {
    {"\x1b(B", JisSet::Ascii},   {"\x1b(J", JisSet::Ascii},    {"\x1b(H", JisSet::Ascii},
    {"\x1b(I", JisSet::Kana},    {"\x1b$@", JisSet::Kanji},    {"\x1b$B", JisSet::Kanji},
    {"\x1b$(O", JisSet::Kanji},  {"\x1b$(Q", JisSet::Kanji},   {"\x1b$(D", JisSet::Supplement},
    {"\x1b$A", JisSet::Foreign}, {"\x1b$(C", JisSet::Foreign}, {"\x1b$(P", JisSet::Foreign},
    {"\x1b&@", std::nullopt},    {"\x1b.A", std::nullopt},     {"\x1b.F", std::nullopt},
};

bool IsEucByte(std::uint8_t c) { return InRange(c, 0xA1, 0xFE); }

// Length of the well-formed EUC-JP character at i, or 0.
std::size_t EucLength(std::string_view s, std::size_t i) {
  const std::uint8_t c = At(s, i);
  const std::size_t left = s.size() - i;
  if (c < 0x80) return 1;
  if (c == 0x8E) return left >= 2 && InRange(At(s, i + 1), 0xA1, 0xDF) ? 2 : 0;
  if (c == 0x8F) return left >= 3 && IsEucByte(At(s, i + 1)) && IsEucByte(At(s, i + 2)) ? 3 : 0;
  return IsEucByte(c) && left >= 2 && IsEucByte(At(s, i + 1)) ? 2 : 0;
}

}  // namespace

std::string ReceivedJisToSjis(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  JisSet set = JisSet::Ascii;
  bool shiftedOut = false;  // SO: half-width katakana until SI
  for (std::size_t i = 0; i < s.size();) {
    const std::uint8_t c = At(s, i);
    if (c == kEsc) {
      const std::string_view rest = s.substr(i);
      std::size_t used = 1;  // an escape nobody knows is dropped alone
      if (rest.starts_with("\x1bN")) {
        out += kGeta;
        used = std::min<std::size_t>(3, rest.size());
      }
      for (const Designation& d : kDesignations) {
        if (!rest.starts_with(d.sequence)) continue;
        if (d.set) set = *d.set;
        used = d.sequence.size();
      }
      i += used;
      continue;
    }
    if (c == 0x0E || c == 0x0F) {
      shiftedOut = c == 0x0E;
      ++i;
      continue;
    }
    if (c >= 0x80) {
      out += kGeta;
      ++i;
      continue;
    }
    const JisSet current = shiftedOut ? JisSet::Kana : set;
    if (c <= 0x20 || c == 0x7F || current == JisSet::Ascii) {  // line ends and blanks in any mode
      out.push_back(static_cast<char>(c));
      ++i;
      continue;
    }
    if (current == JisSet::Kana) {
      if (c <= 0x5F)
        out.push_back(static_cast<char>(c + 0x80));
      else
        out += kGeta;
      ++i;
      continue;
    }
    if (i + 1 >= s.size() || !InRange(At(s, i + 1), 0x21, 0x7E)) {
      out += kGeta;  // half a pair
      ++i;
      continue;
    }
    const std::uint8_t d = At(s, i + 1);
    if (current == JisSet::Kanji)
      AppendPair(out, JisPairToSjis(c, d));
    else if (current == JisSet::Supplement)
      out += Jis0212ToSjis(c, d);
    else
      out += kGeta;
    i += 2;
  }
  return out;
}

std::string ReceivedEucToSjis(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size();) {
    const std::size_t n = EucLength(s, i);
    if (n == 0) {
      out += kGeta;
      i += 1;
    } else if (n == 1) {
      out.push_back(s[i]);
    } else if (At(s, i) == 0x8E) {
      out.push_back(s[i + 1]);  // half-width katakana
    } else if (n == 3) {
      out += Jis0212ToSjis(At(s, i + 1) & 0x7F, At(s, i + 2) & 0x7F);
    } else {
      AppendPair(out, JisPairToSjis(At(s, i) & 0x7F, At(s, i + 1) & 0x7F));
    }
    i += n;
  }
  return out;
}

bool HasJisDesignation(std::string_view text) {
  for (std::string_view d : {"\x1b$B", "\x1b$@", "\x1b$(", "\x1b(I"})
    if (text.find(d) != std::string_view::npos) return true;
  return false;
}

bool IsWellFormedEuc(std::string_view text) {
  for (std::size_t i = 0, n = 0; i < text.size(); i += n)
    if ((n = EucLength(text, i)) == 0) return false;
  return true;
}

}  // namespace zentavo
