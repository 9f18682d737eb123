// Received text to Shift_JIS.
//
// The label is a hint, not the truth: mail programs have labelled Shift_JIS
// as ISO-8859-1, UTF-8 as US-ASCII and raw 8-bit text as ISO-2022-JP. So the
// bytes decide first where they can:
//   - 7-bit text with a JIS escape is ISO-2022-JP, whatever the label says;
//   - 8-bit text that is valid UTF-8 is UTF-8: Shift_JIS and EUC-JP kana and
//     kanji are next to never valid UTF-8, and Western text hardly ever;
//   - otherwise a Japanese label is believed, and a label that cannot be
//     right or says nothing leaves the choice to DetectKanjiCode.
// ISO-2022-JP and EUC-JP go by the JIS pair rule (text/ReceivedJis.h),
// everything else through iconv, by way of UTF-8.
#include "text/ReceivedCharset.h"

#include <algorithm>
#include <cstdint>
#include <optional>

#include "text/KanjiCode.h"
#include "text/KeptConverter.h"
#include "text/ReceivedJis.h"

namespace zentavo {

namespace {

constexpr std::string_view kGeta = "\x81\xAC";          // 〓 in code page 932
constexpr std::string_view kGetaUtf8 = "\xE3\x80\x93";  // 〓 in UTF-8

bool InRange(std::uint8_t c, std::uint8_t lo, std::uint8_t hi) { return c >= lo && c <= hi; }
std::uint8_t At(std::string_view s, std::size_t i) { return static_cast<std::uint8_t>(s[i]); }

// Length of the well-formed UTF-8 sequence that starts `s` (not empty), or 0.
std::size_t Utf8Length(std::string_view s) {
  const std::uint8_t c = At(s, 0);
  if (c < 0x80) return 1;
  const std::size_t n = InRange(c, 0xC2, 0xDF) ? 2 : InRange(c, 0xE0, 0xEF) ? 3 : InRange(c, 0xF0, 0xF4) ? 4 : 0;
  if (n == 0 || s.size() < n) return 0;
  for (std::size_t k = 1; k < n; ++k)
    if ((At(s, k) & 0xC0) != 0x80) return 0;
  const std::uint8_t d = At(s, 1);  // overlong forms, surrogates, beyond U+10FFFF
  if ((c == 0xE0 && d < 0xA0) || (c == 0xED && d > 0x9F) || (c == 0xF0 && d < 0x90) || (c == 0xF4 && d > 0x8F))
    return 0;
  return n;
}

bool IsUtf8(std::string_view s) {
  for (std::size_t i = 0, n = 0; i < s.size(); i += n)
    if ((n = Utf8Length(s.substr(i))) == 0) return false;
  return true;
}

// The kana that a combining voiced (U+3099) or semi-voiced (U+309A) mark
// makes of `base`, or 0. Katakana sit 0x60 above their hiragana.
char32_t ComposedKana(char32_t base, bool semi) {
  const bool katakana = base >= 0x30A1 && base <= 0x30F6;
  const char32_t h = katakana ? base - 0x60 : base;
  const bool haRow = h == 0x306F || h == 0x3072 || h == 0x3075 || h == 0x3078 || h == 0x307B;
  char32_t composed = 0;
  if (semi) {
    if (haRow) composed = h + 2;
  } else if ((h >= 0x304B && h <= 0x3061 && h % 2 == 1) || h == 0x3064 || h == 0x3066 || h == 0x3068 || haRow) {
    composed = h + 1;
  } else if (h == 0x3046) {
    composed = 0x3094;  // ゔ
  }
  return composed != 0 && katakana ? composed + 0x60 : composed;
}

// UTF-8 with every kana that is followed by a combining mark made one
// character, as code page 932 has them (macOS writes file names so).
std::string ComposeKana(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    if (utf8.substr(i, 2) == "\xE3\x82" && i + 2 < utf8.size() && (utf8[i + 2] == '\x99' || utf8[i + 2] == '\x9A') &&
        out.size() >= 3 && At(out, out.size() - 3) == 0xE3 && (At(out, out.size() - 2) & 0xC0) == 0x80 &&
        (At(out, out.size() - 1) & 0xC0) == 0x80) {
      const std::size_t b = out.size() - 3;
      const char32_t base = 0x3000 | (At(out, b + 1) & 0x3F) << 6 | (At(out, b + 2) & 0x3F);
      if (const char32_t c = ComposedKana(base, utf8[i + 2] == '\x9A')) {
        out[b + 1] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out[b + 2] = static_cast<char>(0x80 | (c & 0x3F));
        i += 2;
        continue;
      }
    }
    out.push_back(utf8[i]);
  }
  return out;
}

std::string Utf8ToCp932(std::string_view utf8) {
  const std::string composed = ComposeKana(utf8);
  std::string_view in = composed;
  if (in.starts_with("\xEF\xBB\xBF")) in.remove_prefix(3);  // byte order mark
  std::string out;
  KeptConverter cv("CP932", "UTF-8");
  while (cv.Run(in, out) != 0) {
    out += kGeta;
    in.remove_prefix(std::max<std::size_t>(Utf8Length(in), 1));
  }
  return out;
}

// Any charset iconv knows, by way of UTF-8; nothing when it knows none of
// that name. Only plain names reach iconv_open, never option suffixes.
std::optional<std::string> ThroughIconv(std::string_view bytes, const std::string& charset) {
  if (charset.empty() || charset.size() > 40 ||
      charset.find_first_not_of("abcdefghijklmnopqrstuvwxyz0123456789-_.:+") != std::string::npos)
    return std::nullopt;
  KeptConverter cv("UTF-8", charset);
  if (!cv.ok()) return std::nullopt;
  std::string utf8;
  while (cv.Run(bytes, utf8) != 0) {
    utf8 += kGetaUtf8;
    bytes.remove_prefix(1);
  }
  return Utf8ToCp932(utf8);
}

bool IsSjisLead(std::uint8_t c) { return InRange(c, 0x81, 0x9F) || InRange(c, 0xE0, 0xFC); }
bool IsSjisTrail(std::uint8_t c) { return InRange(c, 0x40, 0x7E) || InRange(c, 0x80, 0xFC); }

// Length of the well-formed Shift_JIS character at i, or 0.
std::size_t SjisLength(std::string_view s, std::size_t i) {
  const std::uint8_t c = At(s, i);
  if (c < 0x80 || InRange(c, 0xA1, 0xDF)) return 1;
  return IsSjisLead(c) && i + 1 < s.size() && IsSjisTrail(At(s, i + 1)) ? 2 : 0;
}

bool IsUserDefined(std::string_view s, std::size_t i) { return InRange(At(s, i), 0xF0, 0xF9); }

template <class Length>
bool WellFormed(std::string_view s, Length length) {
  for (std::size_t i = 0, n = 0; i < s.size(); i += n)
    if ((n = length(s, i)) == 0) return false;
  return true;
}

// Shift_JIS as code page 932 defines it: a malformed byte, a well-formed
// code that stands for no character, and a user-defined character (which
// means something only on the machine that defined it) each become 〓.
std::string KeepCp932(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  KeptConverter check("UTF-8", "CP932");
  std::string discarded;
  for (std::size_t i = 0; i < s.size();) {
    std::size_t end = i;
    for (std::size_t n; end < s.size() && (n = SjisLength(s, end)) != 0 && !(n == 2 && IsUserDefined(s, end));)
      end += n;
    // Only two-byte codes can be undefined among well-formed characters.
    for (std::string_view run = s.substr(i, end - i); !run.empty();) {
      std::string_view rest = run;
      discarded.clear();
      const bool whole = check.Run(rest, discarded) == 0;
      out.append(run.substr(0, run.size() - rest.size()));
      if (whole) break;
      out += kGeta;
      run = rest.substr(std::min<std::size_t>(2, rest.size()));
    }
    if (end == s.size()) break;
    out += kGeta;
    i = end + std::max<std::size_t>(SjisLength(s, end), 1);
  }
  return out;
}

// Unknown bytes: the code DetectKanjiCode finds, Shift_JIS when it finds
// none. When it cannot tell the two apart, the bytes all lie where EUC-JP
// has its kana and common kanji and Shift_JIS its half-width katakana; a
// mail written in half-width katakana alone is the rarer of the two.
std::string GuessToCp932(std::string_view s) {
  const KanjiCode code = DetectKanjiCode(s);
  const bool euc = code == KanjiCode::Euc || (code == KanjiCode::EucOrSjis && IsWellFormedEuc(s));
  return euc ? ReceivedEucToSjis(s) : std::string(s);
}

enum class Family { None, Jis, Sjis, Euc, Utf8, Western, Wide, Other };

// Lower case, without blanks, quotes or an RFC 2231 language ("*ja").
std::string CharsetName(std::string_view label) {
  std::string name;
  for (char c : label.substr(0, label.find('*'))) {
    if (c == ' ' || c == '\t' || c == '"' || c == '\'') continue;
    name.push_back(c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c);
  }
  return name;
}

Family FamilyOf(const std::string& name) {
  const auto is = [&name](std::initializer_list<std::string_view> names) {
    return std::find(names.begin(), names.end(), name) != names.end();
  };
  const auto starts = [&name](std::initializer_list<std::string_view> prefixes) {
    return std::any_of(prefixes.begin(), prefixes.end(), [&](std::string_view p) { return name.starts_with(p); });
  };
  if (name.empty() || is({"unknown", "unknown-8bit", "x-unknown", "x-user-defined", "default"})) return Family::None;
  if (starts({"iso-2022-jp", "iso2022jp", "csiso2022jp", "x-iso-2022-jp"}) || is({"jis", "jis7"})) return Family::Jis;
  if (starts({"shift", "x-sjis", "sjis", "windows-31j", "cp932", "ms932", "x-ms-cp932", "ibm-943", "ibm943"}) ||
      is({"ms_kanji", "csshiftjis", "x-mac-japanese"}))
    return Family::Sjis;
  if (starts({"euc-jp", "eucjp", "euc_jp", "x-euc", "cp51932", "euc-jis", "ujis", "cseucpkdfmtjapanese"}))
    return Family::Euc;
  if (is({"utf-8", "utf8", "x-utf-8", "unicode-1-1-utf-8"})) return Family::Utf8;
  if (starts({"utf-16", "utf-32", "utf-7", "ucs-2", "ucs-4"})) return Family::Wide;
  if (starts({"us-ascii", "ascii", "iso-8859", "iso8859", "iso_8859", "latin", "windows-125", "cp125"}))
    return Family::Western;
  return Family::Other;
}

}  // namespace

std::string ReceivedTextToSjis(std::string_view bytes, std::string_view label) {
  const std::string name = CharsetName(label);
  const Family family = FamilyOf(name);
  const bool sevenBit =
      std::all_of(bytes.begin(), bytes.end(), [](char c) { return static_cast<std::uint8_t>(c) < 0x80; });
  if (sevenBit && family != Family::Wide && HasJisDesignation(bytes)) return KeepCp932(ReceivedJisToSjis(bytes));
  // Texts that are no ASCII superset, and the charsets of other languages,
  // are the label's: iconv knows them better than any guess.
  if (family == Family::Wide || (family == Family::Other && (sevenBit || !IsUtf8(bytes))))
    if (auto text = ThroughIconv(bytes, name)) return KeepCp932(*text);
  if (sevenBit) return std::string(bytes);
  if (IsUtf8(bytes)) return KeepCp932(Utf8ToCp932(bytes));
  switch (family) {
    case Family::Sjis: return KeepCp932(bytes);
    case Family::Euc: return KeepCp932(ReceivedEucToSjis(bytes));
    case Family::Western:
      // Text that neither Japanese code can hold is taken to be what it says.
      if (!WellFormed(bytes, SjisLength) && !IsWellFormedEuc(bytes))
        if (auto text = ThroughIconv(bytes, name)) return KeepCp932(*text);
      break;
    default:  // no label, or ISO-2022-JP or UTF-8 with bytes they cannot hold
      break;
  }
  return KeepCp932(GuessToCp932(bytes));
}

}  // namespace zentavo
