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

using namespace std::string_literals;

namespace zentavo {
namespace {
using test::S;
using test::U;

// glibc's converters serve as an independent reference for the byte rules.
std::optional<std::string> Iconv(const char* to, const char* from, std::string_view in) {
  iconv_t cd = iconv_open(to, from);
  std::string src(in), out(src.size() * 4 + 16, '\0');
  char *inp = src.data(), *outp = out.data();
  size_t inleft = src.size(), outleft = out.size();
  const bool ok = iconv(cd, &inp, &inleft, &outp, &outleft) != static_cast<size_t>(-1) &&
                  iconv(cd, nullptr, nullptr, &outp, &outleft) != static_cast<size_t>(-1);
  iconv_close(cd);
  if (!ok) return std::nullopt;
  out.resize(out.size() - outleft);
  return out;
}

// JIS X 0208 pairs (7-bit) of a UTF-8 text, taken from glibc's EUC-JP.
std::string JisPairs(std::string_view utf8) {
  std::string euc = Iconv("EUC-JP", "UTF-8", utf8).value();
  for (char& c : euc) c = static_cast<char>(c & 0x7F);
  return euc;
}

bool SevenBit(std::string_view s) { return std::none_of(s.begin(), s.end(), [](char c) { return c & 0x80; }); }

const std::string kKai = "\x89\xEF";  // 会 in Shift_JIS, decides detection

TEST(DetectKanjiCode, Table) {
  // A kanji in front decides the walk at once, so only the binary test (over
  // the first 512 bytes) finds a control byte after it.
  std::string late = kKai + std::string(598, 'a');
  late[511] = '\x01';
  std::string later = late;
  std::swap(later[511], later[512]);
  const std::pair<std::string, int> cases[] = {
      {"ab\x01z", kCodeBinary}, {"ab\xFFz", kCodeBinary}, {"a\x08\x09z", kCodeAscii}, {"abc\x01", kCodeAscii},
      {"abc\xFF", kCodeAscii}, {late, kCodeBinary}, {later, kCodeSjis}, {"aa" + later.substr(2), kCodeBinary},
      {"", kCodeAscii}, {"a\x1b$Bx", kCodeJisNew}, {"a\x1b$B", kCodeJisNew}, {"a\x1b$@x", kCodeJisOld},
      {"a\x1b(Bx", kCodeAscii}, {"ab\x1b$", kCodeAscii}, {"\x1b\x1b$B", kCodeAscii}, {"\x81\x40", kCodeSjis},
      {"\x8D\x40", kCodeSjis}, {"\x8F\xA1", kCodeSjis}, {"\x9F\xFC", kCodeSjis}, {"\xF0\xA1", kCodeEuc},
      {"\xFE\xA1", kCodeEuc}, {"\x80\x40", kCodeAscii}, {"\xA0\x40", kCodeAscii}, {"abc\x89", kCodeAscii},
      {"\x8E\x40", kCodeSjis}, {"\x8E\xA0", kCodeSjis}, {"\x8E\xFC", kCodeSjis}, {"\x8E\xA1", kCodeEucOrSjis},
      {"\x8E\x7F", kCodeAscii}, {"\x8E\xFD", kCodeAscii}, {"\xB1\xF0", kCodeEuc}, {"\xB1\xB2", kCodeEucOrSjis},
      {"\xB1\x0D", kCodeSjis}, {"\xB1\xA0", kCodeAscii}, {"\xB1\xFF", kCodeAscii}, {"\xE0\x40", kCodeSjis},
      {"\xE0\xFD", kCodeEuc}, {"\xE0\xA1", kCodeEucOrSjis}, {"\xE0\x7F", kCodeAscii},
      {"\xB1\xB2\x89\xEF", kCodeSjis}, {"\xB1\xB2\xB2\xF1", kCodeEuc}, {"\x89\xEF\x1b$B", kCodeSjis},
      // After kana and 0xE0-0xEF the walk reads on until a byte decides.
      {"\xB1\xE0\x41\x81", kCodeSjis}, {"\xB1\xE0\xFD\x41", kCodeEuc},
      {"\xB1\xE0\x9D\x41", kCodeEucOrSjis}, {"\xB1\xE0\x20\x9D\x41", kCodeSjis},
  };
  for (const auto& [text, code] : cases) EXPECT_EQ(DetectKanjiCode(text), code) << testing::PrintToString(text);
}

using Convert = std::function<std::string(std::string_view)>;
Convert To(int target) {
  return [target](std::string_view t) { return ConvertKanjiCode(t, target); };
}

TEST(KanjiConversions, Table) {
  struct Row { Convert convert; std::string in, out; };
  const Row rows[] = {
      {To(kCodeJisNew), "abc", "abc"}, {To(kCodeJisNew), "ab\x89\xEF", "ab\x1b$B2q"},  // no closing escape
      {To(kCodeJisNew), "\x89\xEF\x8B\x63\r\n", "\x1b$B2q5D\x1b(J\r\n"},
      {To(kCodeJisNew), "\x89\xEF" "a\x8B\x63" "b", "\x1b$B2q\x1b(Ja\x1b$B5D\x1b(Jb"},
      {To(kCodeJisNew), "\xB1\xB2\r\n", "\xB1\xB2\r\n"},  // undecided: unchanged
      {To(kCodeJisNew), "\xB1\xB2\xB3\r\n", "\x1b$B%\"%$%&\x1b(J\r\n"},
      {To(kCodeJisNew), "\x89\xEF\x01\r\n", "\x89\xEF\x01\r\n"},  // binary
      {To(kCodeJisNew), "\x1b$@2q\x1b(J", "\x1b$@2q\x1b(J"}, {To(kCodeSjis), "\x1b$@2q\x1b(J", kKai},
      {To(7), kKai, kKai}, {To(kCodeSjis), kKai, kKai}, {To(kCodeEuc), "\xB2\xF1", "\xB2\xF1"},
      {To(kCodeSjis), "a\x1b$B2q5D\x1b(Bb\r\n", "a\x89\xEF\x8B\x63" "b\r\n"},
      {To(kCodeJisNew), "\xB2\xF1\x8E\xB6\x8E\xDE\x8E\xB3\x8E\xDE\x8E\xCA\x8E\xDF\r\n",
       "\x1b$B2q%,%t%Q\x1b(J\r\n"},
      {SjisToJis, "\xB1\xDE\xB6\xDF\xB6\xDE\xDE", "\x1b$B%\"!+%+!,%,!+"},  // ｱﾞ ｶﾟ ｶﾞﾞ
      {SjisToJis, "a\x89", "a"}, {SjisToJis, "\x89\xEF\xE0", "\x1b$B2q"}, {SjisToEuc, "a\x89", "a"},
      {SjisToEuc, "\xB1" "a", "\x8E\xB1" "a"}, {EucToSjis, "\x8E\xB1" "a", "\xB1" "a"},
      {EucToJis, "\x8E\xB1\x8E\xDE", "\x1b$B%\"!+"}, {EucToJis, "\x8E" "A", "A"},
      {EucToJis, "\x8E\xB6\x8E", "\x1b$B%+"}, {EucToJis, "a\xB2", "a"}, {EucToSjis, "a\x8E", "a"},
      {JisToSjis, "\x1b$B2q\r\n", "\x89\xEFw)"},  // line ends in kanji mode pair up
      {JisToSjis, "\x1b$B\x1b(B", "\x7E\x47"},     // the byte after an escape is data
      {JisToSjis, "\x1b.Aab", "ab"}, {JisToSjis, "a\x1b$", "a"}, {JisToSjis, "\x1b$B2q5", kKai},
      {JisToEuc, "\x1b$B2q\r\n5", "\xB2\xF1\r\n\xB5"},
  };
  for (const Row& r : rows) EXPECT_EQ(r.convert(r.in), r.out) << testing::PrintToString(r.in);
}

TEST(KanjiConversions, HalfWidthKanaAndMarksBecomeFullWidth) {
  const std::string full = JisPairs(
      "。「」、・ヲァィゥェォャュョッーアイウエオカキクケコサシスセソタチツテトナニヌネノ"
      "ハヒフヘホマミムメモヤユヨラリルレロワン゛゜");
  for (int k = 0xA1; k <= 0xDF; ++k) {
    EXPECT_EQ(SjisToJis(kKai + static_cast<char>(k)), "\x1b$B2q" + full.substr((k - 0xA1) * 2, 2));
    EXPECT_EQ(SjisToMailJis(std::string(1, static_cast<char>(k))),
              "\x1b$B" + full.substr((k - 0xA1) * 2, 2) + "\x1b(B");
  }
  const std::string voiced = JisPairs("ヴガギグゲゴザジズゼゾダヂヅデドバビブベボパピプペポ");
  const std::string kana = "\xB3\xB6\xB7\xB8\xB9\xBA\xBB\xBC\xBD\xBE\xBF\xC0\xC1\xC2\xC3\xC4"
                           "\xCA\xCB\xCC\xCD\xCE\xCA\xCB\xCC\xCD\xCE";
  for (size_t i = 0; i < kana.size(); ++i) {
    const std::string text = kana.substr(i, 1) + (i < 21 ? "\xDE" : "\xDF");
    EXPECT_EQ(SjisToJis(text), "\x1b$B" + voiced.substr(i * 2, 2)) << i;
  }
}

TEST(PairRules, AgreeWithGlibcForEveryJisX0208Character) {
  int checked = 0;
  for (int j1 = 0x21; j1 <= 0x74; ++j1) {
    for (int j2 = 0x21; j2 <= 0x7E; ++j2) {
      const auto utf8 = Iconv("UTF-8", "ISO-2022-JP", "\x1b$B"s + char(j1) + char(j2));
      const auto cp932 = utf8 ? Iconv("CP932", "UTF-8", *utf8) : std::nullopt;
      if (!cp932 || cp932->size() != 2) continue;  // unassigned, or elsewhere in code page 932
      const std::array<std::uint8_t, 2> sjis{std::uint8_t((*cp932)[0]), std::uint8_t((*cp932)[1])};
      EXPECT_EQ(JisPairToSjis(j1, j2), sjis) << std::hex << j1 << ' ' << j2;
      EXPECT_EQ(SjisPairToJis(sjis[0], sjis[1]), (std::array<std::uint8_t, 2>{std::uint8_t(j1), std::uint8_t(j2)}));
      ++checked;
    }
  }
  EXPECT_GT(checked, 6800);  // JIS X 0208 holds 6879 characters
  EXPECT_EQ(SjisPairToJis(0xFF, 0xFF), (std::array<std::uint8_t, 2>{0x9E, 0x81}));  // wraps
}

TEST(KanjiConversions, MixedTextsAgreeWithGlibcAndRoundTrip) {
  const std::string utf8 = "Re: 会議のお知らせ（第２回）\r\n漢字、鵬、熙、ー〜ｘ\r\nabc 〒100-0001\r\n";
  const std::string euc = Iconv("EUC-JP", "UTF-8", utf8).value();
  const std::string jis = ConvertKanjiCode(S(utf8), kCodeJisNew);
  EXPECT_EQ(ConvertKanjiCode(jis, kCodeEuc), euc);
  EXPECT_EQ(ConvertKanjiCode(euc, kCodeJisNew), jis);
  EXPECT_EQ(ConvertKanjiCode(jis, kCodeSjis), S(utf8));
  const std::string kana = S(utf8 + "ｱｲｳｶﾞﾊﾟ\r\n");
  EXPECT_EQ(ConvertKanjiCode(ConvertKanjiCode(kana, kCodeEuc), kCodeSjis), kana);
}

TEST(SjisToMailJis, Table) {
  const std::pair<std::string, std::string> rows[] = {
      {S("髙橋"), "\x1b$B|b66\x1b(B"}, {S("﨑"), "\x1b$Byu\x1b(B"},  // IBM kanji as NEC-selected ones
      {S("①②"), "\x1b$B-!-\"\x1b(B"}, {S("ⅰ"), "\x1b$B|q\x1b(B"}, {S("＼～"), "\x1b$B!@!A\x1b(B"},
      {S("㈱") + "\xFA\x58", "\x1b$B-j-j\x1b(B"},  // the NEC and the IBM code: one JIS code
      {S("Ⅰ") + "\xFA\x4A", "\x1b$B-5-5\x1b(B"}, {"a\\b~c", "a\\b~c"},
      {S("ｶﾞﾊﾟｱ"), "\x1b$B%,%Q%\"\x1b(B"}, {S("会\r\n議"), "\x1b$B2q\x1b(B\r\n\x1b$B5D\x1b(B"},
      {"\xF0\x40", "\x1b$B\".\x1b(B"}, {"a\x89", "a\x1b$B\".\x1b(B"},  // user-defined, lead byte at the end
      {"\x89\r\n\x80\xA0\xFD", "\x1b$B\".\x1b(B\r\n\x1b$B\".\".\".\x1b(B"},
  };
  for (const auto& [in, out] : rows) EXPECT_EQ(SjisToMailJis(in), out) << U(in);
}

TEST(SjisToMailJis, EveryCodePage932CharacterReadsBackAsItself) {
  // Read back as readers do: the pair rule to Shift_JIS, then code page 932.
  const std::string geta = S("〓");
  int checked = 0;
  for (int s1 = 0x80; s1 <= 0xFF; ++s1) {
    for (int s2 = 0x00; s2 <= 0xFF; ++s2) {
      const std::string code{char(s1), char(s2)};
      const std::string jis = SjisToMailJis(code);
      ASSERT_TRUE(SevenBit(jis)) << std::hex << s1 << ' ' << s2;
      const bool lead = (s1 >= 0x81 && s1 <= 0x9F) || s1 >= 0xE0;
      const auto unicode = Iconv("UTF-8", "CP932", code);
      if (!lead || !unicode) continue;
      const bool userDefined = s1 >= 0xF0 && s1 <= 0xF9;
      EXPECT_EQ(U(JisToSjis(jis)), userDefined ? U(geta) : *unicode) << std::hex << s1 << ' ' << s2;
      ++checked;
    }
  }
  EXPECT_EQ(checked, 7724 + 1880);  // code page 932 and its user-defined area  // code page 932's two-byte characters and its user area
}

TEST(Utf8ToMailSjis, LeavesOutWhatMailCannotCarry) {
  const SjisConversion c = Utf8ToMailSjis("a\uE000b\uE757①髙\U0001F600c\uE758");
  EXPECT_EQ(c.text, "ab" + S("①髙") + "c");
  EXPECT_EQ(c.dropped, (std::vector<std::string>{"\uE000", "\uE757", "\U0001F600", "\uE758"}));
  EXPECT_EQ(Utf8ToSjis("\uE000").text, "\xF0\x40");  // file names keep the whole code page
}

}  // namespace
}  // namespace zentavo
