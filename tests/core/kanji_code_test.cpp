#include <gtest/gtest.h>
#include <iconv.h>

#include <algorithm>
#include <array>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "support/TestSupport.h"
#include "text/KanjiCode.h"
#include "text/SjisToMailJis.h"
#include "text/SjisUnicode.h"

namespace zentavo {
namespace {
using test::S, test::U;

// glibc's converters serve as an independent reference for the byte rules.
std::optional<std::string> Iconv(const char* to, const char* from, std::string_view in) {
  iconv_t cd = iconv_open(to, from);
  std::string src(in), out(src.size() * 4 + 16, '\0');
  char *inp = src.data(), *outp = out.data();
  size_t inleft = src.size(), outleft = out.size();
  const bool ok = iconv(cd, &inp, &inleft, &outp, &outleft) != size_t(-1) &&
                  iconv(cd, nullptr, nullptr, &outp, &outleft) != size_t(-1);
  iconv_close(cd);
  return ok ? std::optional(out.substr(0, out.size() - outleft)) : std::nullopt;
}
std::string Glibc(const char* to, std::string_view utf8) { return Iconv(to, "UTF-8", utf8).value(); }

const std::string kKai = "\x89\xEF";  // 会 in Shift_JIS, decides detection

TEST(DetectKanjiCode, Table) {
  // A kanji in front decides the walk at once, so only the binary test (over
  // the first 512 bytes) finds a control byte after it.
  const auto control = [](std::string t, size_t at) {
    t.resize(600, 'a');
    t[at] = '\x01';
    return t;
  };
  using enum KanjiCode;
  // clang-format off
  const std::pair<std::string, KanjiCode> cases[] = {
      {"ab\x01z", Binary}, {"ab\xFFz", Binary}, {"a\x08\x09z", Ascii}, {"abc\x01", Ascii},
      {"abc\xFF", Ascii}, {control(kKai, 511), Binary}, {control(kKai, 512), Sjis},
      {control("", 512), Binary}, {"", Ascii}, {"a\x1b$Bx", JisNew}, {"a\x1b$B", JisNew},
      {"a\x1b$@x", JisOld}, {"\x89\xEF\x1b$B", Sjis}, {"a\x1b(Bx", Ascii}, {"ab\x1b$", Ascii},
      {"\x1b\x1b$B", Ascii}, {"\x81\x40", Sjis}, {"\x8D\x40", Sjis}, {"\x8F\xA1", Sjis},
      {"\x9F\xFC", Sjis}, {"\xF0\xA1", Euc}, {"\xFE\xA1", Euc}, {"\x80\x40", Ascii},
      {"\xA0\x40", Ascii}, {"abc\x89", Ascii}, {"\x8E\x40", Sjis}, {"\x8E\xA0", Sjis},
      {"\x8E\xFC", Sjis}, {"\x8E\xA1", EucOrSjis}, {"\x8E\x7F", Ascii}, {"\x8E\xFD", Ascii},
      {"\xB1\xF0", Euc}, {"\xB1\xB2", EucOrSjis}, {"\xB1\x0D", Sjis}, {"\xB1\xA0", Ascii},
      {"\xB1\xFF", Ascii}, {"\xE0\x40", Sjis}, {"\xE0\xFD", Euc}, {"\xE0\xA1", EucOrSjis},
      {"\xE0\x7F", Ascii},
      // After kana and 0xE0-0xEF the walk reads on until a byte decides.
      {"\xB1\xB2\x89\xEF", Sjis}, {"\xB1\xB2\xB2\xF1", Euc}, {"\xB1\xE0\x41\x81", Sjis},
      {"\xB1\xE0\xFD\x41", Euc}, {"\xB1\xE0\x9D\x41", EucOrSjis}, {"\xB1\xE0\x20\x9D\x41", Sjis},
  };
  // clang-format on
  for (const auto& [text, code] : cases) EXPECT_EQ(DetectKanjiCode(text), code) << testing::PrintToString(text);
}

using Convert = std::function<std::string(std::string_view)>;
Convert To(KanjiTarget target) {
  return [target](std::string_view t) { return ConvertKanjiCode(t, target); };
}

TEST(KanjiConversions, Table) {
  // Every half-width kana, marks included.
  const std::string kana = [] {
    std::string k;
    for (int c = 0xA1; c <= 0xDF; ++c) k += char(c);
    return k;
  }();
  const std::string full =
      "。「」、・ヲァィゥェォャュョッーアイウエオカキクケコサシスセソタチツテトナニヌネノハヒフヘホ"
      "マミムメモヤユヨラリルレロワン゛゜";
  const Convert closed = [](std::string_view t) { return SjisToJis(t) + "\x1b(B"; };  // as glibc ends
  // A mixed text through every code, glibc's EUC-JP for reference.
  const std::string mixed = "Re: 会議のお知らせ（第２回）\r\n漢字、鵬、熙、ー〜ｘ\r\nabc 〒100-0001\r\n";
  const std::string jis = ConvertKanjiCode(S(mixed), KanjiTarget::Jis), withKana = S(mixed + "ｱｲｳｶﾞﾊﾟ\r\n");
  const Convert toJis = To(KanjiTarget::Jis), toSjis = To(KanjiTarget::Sjis), toEuc = To(KanjiTarget::Euc);
  struct Row {
    Convert convert;
    std::string in, out;
  };
  // clang-format off
  const Row rows[] = {
      {closed, kKai + kana, Glibc("ISO-2022-JP", "会" + full)}, {SjisToMailJis, kana, Glibc("ISO-2022-JP", full)},
      {closed, S("ｳﾞｶﾞｷﾞｸﾞｹﾞｺﾞｻﾞｼﾞｽﾞｾﾞｿﾞﾀﾞﾁﾞﾂﾞﾃﾞﾄﾞﾊﾞﾋﾞﾌﾞﾍﾞﾎﾞﾊﾟﾋﾟﾌﾟﾍﾟﾎﾟ"),
       Glibc("ISO-2022-JP", "ヴガギグゲゴザジズゼゾダヂヅデドバビブベボパピプペポ")},
      {toEuc, jis, Glibc("EUC-JP", mixed)}, {toJis, Glibc("EUC-JP", mixed), jis}, {toSjis, jis, S(mixed)},
      {toSjis, ConvertKanjiCode(withKana, KanjiTarget::Euc), withKana}, {toJis, "abc", "abc"},
      // No closing escape at the end; texts undecided (kana alone) or binary come back unchanged.
      {toJis, "ab\x89\xEF", "ab\x1b$B2q"}, {toJis, "\x89\xEF\x8B\x63\r\n", "\x1b$B2q5D\x1b(J\r\n"},
      {toJis, "\x89\xEF" "a\x8B\x63" "b", "\x1b$B2q\x1b(Ja\x1b$B5D\x1b(Jb"}, {toJis, "\xB1\xB2\r\n", "\xB1\xB2\r\n"},
      {toJis, "\xB1\xB2\xB3\r\n", "\x1b$B%\"%$%&\x1b(J\r\n"}, {toJis, "\x89\xEF\x01\r\n", "\x89\xEF\x01\r\n"},
      {toJis, "\x1b$@2q\x1b(J", "\x1b$@2q\x1b(J"}, {toSjis, "\x1b$@2q\x1b(J", kKai}, {toSjis, kKai, kKai},
      {toEuc, "\xB2\xF1", "\xB2\xF1"}, {toSjis, "a\x1b$B2q5D\x1b(Bb\r\n", "a\x89\xEF\x8B\x63" "b\r\n"},
      {toJis, "\xB2\xF1\x8E\xB6\x8E\xDE\x8E\xB3\x8E\xDE\x8E\xCA\x8E\xDF\r\n", "\x1b$B2q%,%t%Q\x1b(J\r\n"},
      // ｱﾞ ｶﾟ ｶﾞﾞ; a lead byte cut off at the end; the byte after an escape is data; line ends in kanji mode pair up.
      {SjisToJis, "\xB1\xDE\xB6\xDF\xB6\xDE\xDE", "\x1b$B%\"!+%+!,%,!+"}, {EucToJis, "\x8E\xB1\x8E\xDE", "\x1b$B%\"!+"},
      {SjisToJis, "a\x89", "a"}, {SjisToEuc, "a\x89", "a"}, {EucToJis, "a\xB2", "a"}, {EucToSjis, "a\x8E", "a"},
      {SjisToJis, "\x89\xEF\xE0", "\x1b$B2q"}, {EucToJis, "\x8E\xB6\x8E", "\x1b$B%+"}, {JisToSjis, "\x1b$B2q5", kKai},
      {SjisToEuc, "\xB1" "a", "\x8E\xB1" "a"}, {EucToSjis, "\x8E\xB1" "a", "\xB1" "a"}, {EucToJis, "\x8E" "A", "A"},
      {JisToSjis, "\x1b$B\x1b(B", "\x7E\x47"}, {JisToSjis, "\x1b.Aab", "ab"}, {JisToSjis, "a\x1b$", "a"},
      {JisToSjis, "\x1b$B2q\r\n", "\x89\xEFw)"}, {JisToEuc, "\x1b$B2q\r\n5", "\xB2\xF1\r\n\xB5"},
      // Outgoing mail: code page 932's extensions as Japanese mail programs send them (the IBM kanji as the
      // NEC-selected ones, the NEC and the IBM code of one character as one JIS code), ASCII at every line end.
      {SjisToMailJis, S("髙橋"), "\x1b$B|b66\x1b(B"}, {SjisToMailJis, S("﨑"), "\x1b$Byu\x1b(B"},
      {SjisToMailJis, S("①②"), "\x1b$B-!-\"\x1b(B"}, {SjisToMailJis, S("ⅰ"), "\x1b$B|q\x1b(B"},
      {SjisToMailJis, S("＼～"), "\x1b$B!@!A\x1b(B"}, {SjisToMailJis, "a\\b~c", "a\\b~c"},
      {SjisToMailJis, S("㈱") + "\xFA\x58", "\x1b$B-j-j\x1b(B"}, {SjisToMailJis, S("ｶﾞﾊﾟｱ"), "\x1b$B%,%Q%\"\x1b(B"},
      {SjisToMailJis, S("Ⅰ") + "\xFA\x4A", "\x1b$B-5-5\x1b(B"},
      {SjisToMailJis, S("会\r\n議"), "\x1b$B2q\x1b(B\r\n\x1b$B5D\x1b(B"},
      // 〓 for the user-defined area and for bytes that start no character, a lead byte at the end among them.
      {SjisToMailJis, "\xF0\x40", "\x1b$B\".\x1b(B"}, {SjisToMailJis, "a\x89", "a\x1b$B\".\x1b(B"},
      {SjisToMailJis, "\x89\r\n\x80\xA0\xFD", "\x1b$B\".\x1b(B\r\n\x1b$B\".\".\".\x1b(B"},
  };
  // clang-format on
  for (const Row& r : rows) EXPECT_EQ(r.convert(r.in), r.out) << testing::PrintToString(r.in);
}

TEST(PairRules, AgreeWithGlibcForEveryJisX0208Character) {
  int checked = 0;
  for (int j1 = 0x21; j1 <= 0x74; ++j1)
    for (int j2 = 0x21; j2 <= 0x7E; ++j2) {
      const auto utf8 = Iconv("UTF-8", "ISO-2022-JP", std::string("\x1b$B") + char(j1) + char(j2));
      const auto cp932 = utf8 ? Iconv("CP932", "UTF-8", *utf8) : std::nullopt;
      if (!cp932 || cp932->size() != 2) continue;  // unassigned, or elsewhere in code page 932
      const std::array<std::uint8_t, 2> sjis{std::uint8_t((*cp932)[0]), std::uint8_t((*cp932)[1])};
      EXPECT_EQ(JisPairToSjis(j1, j2), sjis) << std::hex << j1 << ' ' << j2;
      EXPECT_EQ(SjisPairToJis(sjis[0], sjis[1]), (std::array<std::uint8_t, 2>{std::uint8_t(j1), std::uint8_t(j2)}));
      ++checked;
    }
  EXPECT_GT(checked, 6800);                                                         // JIS X 0208 holds 6879 characters
  EXPECT_EQ(SjisPairToJis(0xFF, 0xFF), (std::array<std::uint8_t, 2>{0x9E, 0x81}));  // wraps
}

TEST(SjisToMailJis, EveryCodePage932CharacterReadsBackAsItself) {
  // Read back as readers do: the pair rule to Shift_JIS, then code page 932.
  int checked = 0;
  for (int c = 0x8000; c <= 0xFFFF; ++c) {  // every lead byte from 0x80 with every byte after it
    const std::string code{char(c >> 8), char(c)}, jis = SjisToMailJis(code);
    ASSERT_TRUE(std::ranges::none_of(jis, [](char b) { return b & 0x80; })) << std::hex << c;
    const auto unicode = Iconv("UTF-8", "CP932", code);
    if (!unicode || c < 0x8100 || (c >= 0xA000 && c < 0xE000)) continue;  // no lead byte in front
    // The user-defined area has no JIS code.
    EXPECT_EQ(U(JisToSjis(jis)), c >= 0xF000 && c < 0xFA00 ? "〓" : *unicode) << std::hex << c;
    ++checked;
  }
  EXPECT_EQ(checked, 7724 + 1880);  // code page 932's two-byte characters and its user-defined area
}

TEST(Utf8ToMailSjis, LeavesOutWhatMailCannotCarry) {
  const SjisConversion c = Utf8ToMailSjis("a\uE000b\uE757①髙\U0001F600c\uE758");
  EXPECT_EQ(c.text, "ab" + S("①髙") + "c");
  EXPECT_EQ(c.dropped, (std::vector<std::string>{"\uE000", "\uE757", "\U0001F600", "\uE758"}));
  EXPECT_EQ(Utf8ToSjis("\uE000").text, "\xF0\x40");  // file names keep the whole code page
}

}  // namespace
}  // namespace zentavo
