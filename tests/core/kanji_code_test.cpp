#include <gtest/gtest.h>
#include <iconv.h>

#include <optional>
#include <string>
#include <string_view>

#include "text/KanjiCode.h"

using namespace std::string_literals;

namespace zentavo {
namespace {

// glibc's converters serve as an independent reference for the byte rules.
std::optional<std::string> Iconv(const char* to, const char* from, std::string_view in) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
  std::string src(in);
  std::string out(src.size() * 4 + 16, '\0');
  char* inp = src.data();
  size_t inleft = src.size();
  char* outp = out.data();
  size_t outleft = out.size();
  const size_t rc = iconv(cd, &inp, &inleft, &outp, &outleft);
  const bool ok = rc != static_cast<size_t>(-1) &&
                  iconv(cd, nullptr, nullptr, &outp, &outleft) != static_cast<size_t>(-1);
  iconv_close(cd);
  if (!ok) return std::nullopt;
  out.resize(out.size() - outleft);
  return out;
}

std::string Sjis(std::string_view utf8) { return Iconv("CP932", "UTF-8", utf8).value(); }

// JIS X 0208 pairs (7-bit) of a UTF-8 text, taken from glibc's EUC-JP.
std::string JisPairs(std::string_view utf8) {
  std::string euc = Iconv("EUC-JP", "UTF-8", utf8).value();
  for (char& c : euc) c = static_cast<char>(c & 0x7F);
  return euc;
}

const std::string kKai = "\x89\xEF";  // 会 in Shift_JIS, decides detection

TEST(DetectKanjiCode, BinaryTestCoversFirst512BytesButNotTheLast) {
  EXPECT_EQ(DetectKanjiCode("ab\x01z"), kCodeBinary);
  EXPECT_EQ(DetectKanjiCode("ab\xFFz"), kCodeBinary);
  EXPECT_EQ(DetectKanjiCode("ab\x07z"), kCodeBinary);
  EXPECT_EQ(DetectKanjiCode("a\x08\x09z"), kCodeAscii);
  EXPECT_EQ(DetectKanjiCode("abc\x01"), kCodeAscii);
  EXPECT_EQ(DetectKanjiCode("abc\xFF"), kCodeAscii);

  // A kanji in front decides the walk at once, so only the binary test can
  // find the control byte.
  std::string text = kKai + std::string(598, 'a');
  text[511] = '\x01';  // position 512
  EXPECT_EQ(DetectKanjiCode(text), kCodeBinary);
  text[511] = 'a';
  text[512] = '\x01';
  EXPECT_EQ(DetectKanjiCode(text), kCodeSjis);
  // Beyond 512 the walk still sees control bytes while undecided.
  text.replace(0, 2, "aa");
  EXPECT_EQ(DetectKanjiCode(text), kCodeBinary);
}

TEST(DetectKanjiCode, EscapeSequences) {
  EXPECT_EQ(DetectKanjiCode(""), kCodeAscii);
  EXPECT_EQ(DetectKanjiCode("abc"), kCodeAscii);
  EXPECT_EQ(DetectKanjiCode("a\x1b$Bx"), kCodeJisNew);
  EXPECT_EQ(DetectKanjiCode("a\x1b$B"), kCodeJisNew);  // third escape byte may be last
  EXPECT_EQ(DetectKanjiCode("a\x1b$@x"), kCodeJisOld);
  EXPECT_EQ(DetectKanjiCode("a\x1b(Bx"), kCodeAscii);
  EXPECT_EQ(DetectKanjiCode("ab\x1b$"), kCodeAscii);
  EXPECT_EQ(DetectKanjiCode("\x1b\x1b$B"), kCodeAscii);  // the looked-at ESC is passed over
}

TEST(DetectKanjiCode, LeadBytes) {
  struct Case {
    std::string text;
    int code;
  };
  const Case cases[] = {
      {"\x81\x40", kCodeSjis},     {"\x8D\x40", kCodeSjis},     {"\x8F\xA1", kCodeSjis},
      {"\x9F\xFC", kCodeSjis},     {"\xF0\xA1", kCodeEuc},      {"\xFE\xA1", kCodeEuc},
      {"\x80\x40", kCodeAscii},    {"\xA0\x40", kCodeAscii},    {"abc\x89", kCodeAscii},
      // 0x8E: Shift_JIS lead byte or EUC-JP kana prefix
      {"\x8E\x40", kCodeSjis},     {"\x8E\x7E", kCodeSjis},     {"\x8E\x80", kCodeSjis},
      {"\x8E\xA0", kCodeSjis},     {"\x8E\xE0", kCodeSjis},     {"\x8E\xFC", kCodeSjis},
      {"\x8E\xA1", kCodeEucOrSjis}, {"\x8E\xDF", kCodeEucOrSjis}, {"\x8E\x7F", kCodeAscii},
      {"\x8E\xFD", kCodeAscii},
      // 0xA1-0xDF: half-width kana or EUC-JP lead byte
      {"\xB1\xF0", kCodeEuc},      {"\xB1\xFE", kCodeEuc},      {"\xB1\xB2", kCodeEucOrSjis},
      {"\xB1\x0D", kCodeSjis},     {"\xB1\x9F", kCodeSjis},     {"\xB1\xA0", kCodeAscii},
      {"\xB1\xFF", kCodeAscii},
      // 0xE0-0xEF
      {"\xE0\x40", kCodeSjis},     {"\xEF\xA0", kCodeSjis},     {"\xE0\x80", kCodeSjis},
      {"\xE0\xFD", kCodeEuc},      {"\xE0\xA1", kCodeEucOrSjis}, {"\xEF\xFC", kCodeEucOrSjis},
      {"\xE0\x7F", kCodeAscii},    {"\xE0\x30", kCodeAscii},
      // undecided goes on walking, anything decided stops
      {"\xB1\xB2\x89\xEF", kCodeSjis}, {"\xB1\xB2\xB2\xF1", kCodeEuc},
      {"\x89\xEF\x1b$B", kCodeSjis},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DetectKanjiCode(c.text), c.code) << testing::PrintToString(c.text);
  }
}

TEST(DetectKanjiCode, KanaFollowedByE0ToEFReadsOnUntilDecided) {
  EXPECT_EQ(DetectKanjiCode("\xB1\xE0\x41\x81"), kCodeSjis);  // may read the last byte
  EXPECT_EQ(DetectKanjiCode("\xB1\xE0\x9C\x41"), kCodeSjis);
  EXPECT_EQ(DetectKanjiCode("\xB1\xE0\xFD\x41"), kCodeEuc);
  // 0x9D-0x9F and lead bytes decide nothing here, unlike in the main walk.
  EXPECT_EQ(DetectKanjiCode("\xB1\xE0\x9D\x41"), kCodeEucOrSjis);
  EXPECT_EQ(DetectKanjiCode("\xB1\xE0\xA1\xF0"), kCodeEucOrSjis);
  // A byte below 0x40 ends the read-on; the main walk then sees 0x9D.
  EXPECT_EQ(DetectKanjiCode("\xB1\xE0\x20\x9D\x41"), kCodeSjis);
}

TEST(ConvertKanjiCode, ToJis) {
  EXPECT_EQ(ConvertKanjiCode("abc", kCodeJisNew), "abc");
  EXPECT_EQ(ConvertKanjiCode("\x89\xEF\x8B\x63\r\n", kCodeJisNew),
            "\x1b$B\x32\x71\x35\x44\x1b(J\r\n");
  EXPECT_EQ(ConvertKanjiCode("\x89\xEF" "a\x8B\x63" "b", kCodeJisNew),
            "\x1b$B\x32\x71\x1b(Ja\x1b$B\x35\x44\x1b(Jb");
  // no closing escape after a last kanji
  EXPECT_EQ(ConvertKanjiCode("ab\x89\xEF", kCodeJisNew), "ab\x1b$B\x32\x71");
  // two kana stay undecided and go out as they are; a third one decides
  EXPECT_EQ(ConvertKanjiCode("\xB1\xB2\r\n", kCodeJisNew), "\xB1\xB2\r\n");
  EXPECT_EQ(ConvertKanjiCode("\xB1\xB2\xB3\r\n", kCodeJisNew),
            "\x1b$B\x25\x22\x25\x24\x25\x26\x1b(J\r\n");
  EXPECT_EQ(ConvertKanjiCode("\x89\xEF\xB6\xDE\r\n", kCodeJisNew),
            "\x1b$B\x32\x71\x25\x2C\x1b(J\r\n");
  const std::string binary = "\x89\xEF\x01\r\n";
  EXPECT_EQ(ConvertKanjiCode(binary, kCodeJisNew), binary);
  const std::string jis = "\x1b$B\x32\x71\x1b(J\r\n";
  EXPECT_EQ(ConvertKanjiCode(jis, kCodeJisNew), jis);
  const std::string old_jis = "\x1b$@\x32\x71\x1b(J\r\n";
  EXPECT_EQ(ConvertKanjiCode(old_jis, kCodeJisNew), old_jis);
}

TEST(ConvertKanjiCode, UnknownTargetSameCodeAndUndecidedAreUnchanged) {
  const std::string sjis = "\x89\xEF\x8B\x63";
  for (int target : {-1, 0, 1, 3, 6, 7}) EXPECT_EQ(ConvertKanjiCode(sjis, target), sjis);
  EXPECT_EQ(ConvertKanjiCode(sjis, kCodeSjis), sjis);
  EXPECT_EQ(ConvertKanjiCode("\xB2\xF1", kCodeEuc), "\xB2\xF1");
  EXPECT_EQ(ConvertKanjiCode("\xB1\xB2", kCodeSjis), "\xB1\xB2");
  EXPECT_EQ(ConvertKanjiCode("\x1b$@\x32\x71\x1b(J", kCodeSjis), "\x89\xEF");
}

TEST(SjisToJis, EveryHalfWidthKanaByteBecomesItsFullWidthCharacter) {
  const std::string full = JisPairs(
      "。「」、・ヲァィゥェォャュョッーアイウエオカキクケコサシスセソタチツテトナニヌネノ"
      "ハヒフヘホマミムメモヤユヨラリルレロワン゛゜");
  ASSERT_EQ(full.size(), 63u * 2);
  for (int k = 0xA1; k <= 0xDF; ++k) {
    const std::string text = kKai + static_cast<char>(k) + "\r\n";
    const std::string expected = "\x1b$B\x32\x71" + full.substr((k - 0xA1) * 2, 2) + "\x1b(J\r\n";
    EXPECT_EQ(ConvertKanjiCode(text, kCodeJisNew), expected) << std::hex << k;
  }
}

TEST(SjisToJis, VoicedAndSemiVoicedMarksFoldIntoTheKana) {
  const std::string voiced_kana = "\xB3\xB6\xB7\xB8\xB9\xBA\xBB\xBC\xBD\xBE\xBF\xC0\xC1\xC2\xC3\xC4"
                                  "\xCA\xCB\xCC\xCD\xCE";
  const std::string voiced = JisPairs("ヴガギグゲゴザジズゼゾダヂヅデドバビブベボ");
  const std::string semi_voiced = JisPairs("パピプペポ");
  for (size_t i = 0; i < voiced_kana.size(); ++i) {
    EXPECT_EQ(SjisToJis(kKai + voiced_kana[i] + "\xDE"),
              "\x1b$B\x32\x71" + voiced.substr(i * 2, 2)) << i;
  }
  for (size_t i = 0; i < 5; ++i) {
    EXPECT_EQ(SjisToJis(kKai + "\xCA\xCB\xCC\xCD\xCE"[i] + "\xDF"),
              "\x1b$B\x32\x71" + semi_voiced.substr(i * 2, 2)) << i;
  }
  // Marks after other kana, a second mark, and marks on their own stay marks.
  EXPECT_EQ(SjisToJis("\xB1\xDE"), "\x1b$B\x25\x22\x21\x2B");      // ｱﾞ
  EXPECT_EQ(SjisToJis("\xB6\xDF"), "\x1b$B\x25\x2B\x21\x2C");      // ｶﾟ
  EXPECT_EQ(SjisToJis("\xB3\xDF"), "\x1b$B\x25\x26\x21\x2C");      // ｳﾟ
  EXPECT_EQ(SjisToJis("\xB6\xDE\xDE"), "\x1b$B\x25\x2C\x21\x2B");  // ｶﾞﾞ
  EXPECT_EQ(SjisToJis("a\xDE\xDF"), "a\x1b$B\x21\x2B\x21\x2C");
  EXPECT_EQ(SjisToJis("\xB6"), "\x1b$B\x25\x2B");  // kana as the last byte
}

TEST(SjisToJis, LoneLastLeadByteIsDroppedWithoutEscape) {
  EXPECT_EQ(SjisToJis("a\x89"), "a");
  EXPECT_EQ(SjisToJis("\x89\xEF\xE0"), "\x1b$B\x32\x71");
  EXPECT_EQ(SjisToEuc("a\x89"), "a");
}

TEST(PairRules, AgreeWithGlibcForEveryJisX0208Character) {
  int checked = 0;
  for (int j1 = 0x21; j1 <= 0x74; ++j1) {
    for (int j2 = 0x21; j2 <= 0x7E; ++j2) {
      const std::string jis = "\x1b$B"s + static_cast<char>(j1) + static_cast<char>(j2);
      const auto utf8 = Iconv("UTF-8", "ISO-2022-JP", jis);
      if (!utf8) continue;  // unassigned cell
      const auto cp932 = Iconv("CP932", "UTF-8", *utf8);
      if (!cp932 || cp932->size() != 2) continue;  // mapped differently in code page 932
      const auto s1 = static_cast<std::uint8_t>((*cp932)[0]);
      const auto s2 = static_cast<std::uint8_t>((*cp932)[1]);
      const std::array<std::uint8_t, 2> sjis{s1, s2};
      const std::array<std::uint8_t, 2> pair{static_cast<std::uint8_t>(j1),
                                             static_cast<std::uint8_t>(j2)};
      EXPECT_EQ(JisPairToSjis(pair[0], pair[1]), sjis) << std::hex << j1 << ' ' << j2;
      EXPECT_EQ(SjisPairToJis(s1, s2), pair) << std::hex << j1 << ' ' << j2;
      ++checked;
    }
  }
  EXPECT_GT(checked, 6800);  // JIS X 0208 holds 6879 characters
}

TEST(PairRules, InvalidBytesWrapModulo256) {
  using P = std::array<std::uint8_t, 2>;
  EXPECT_EQ(SjisPairToJis(0x00, 0x00), (P{0x1F, 0xE1}));
  EXPECT_EQ(SjisPairToJis(0xFF, 0xFF), (P{0x9E, 0x81}));
  EXPECT_EQ(JisPairToSjis(0xFF, 0xFF), (P{0x30, 0x1F}));
  EXPECT_EQ(JisPairToSjis(0x00, 0x00), (P{0x70, 0x7E}));
}

TEST(JisToSjis, EscapesLineEndsAndTruncation) {
  EXPECT_EQ(ConvertKanjiCode("a\x1b$B\x32\x71\x35\x44\x1b(Bb\r\n", kCodeSjis),
            "a\x89\xEF\x8B\x63" "b\r\n");
  // Line ends in kanji mode are paired like any bytes.
  EXPECT_EQ(JisToSjis("\x1b$B\x32\x71\r\n"), "\x89\xEF\x77\x29");
  // The byte after an escape is data even when it is another ESC.
  EXPECT_EQ(JisToSjis("\x1b$B\x1b(B"), "\x7E\x47");
  // Any escape takes three bytes; unknown ones leave the mode as it is.
  EXPECT_EQ(JisToSjis("\x1b.Aab"), "ab");
  EXPECT_EQ(JisToSjis("a\x1b"), "a");
  EXPECT_EQ(JisToSjis("a\x1b$"), "a");
  EXPECT_EQ(JisToSjis("\x1b$B\x32\x71\x35"), "\x89\xEF");
  EXPECT_EQ(JisToEuc("\x1b$B\x32\x71\r\n\x35"), "\xB2\xF1\r\n\xB5");
}

TEST(EucConversions, AgreeWithGlibcAndHandleKana) {
  const std::string utf8 = "Re: 会議のお知らせ（第２回）\r\n漢字、鵬、熙、ー\r\nabc";
  const std::string euc = Iconv("EUC-JP", "UTF-8", utf8).value();
  const std::string jis = SjisToJis(Sjis(utf8));
  EXPECT_EQ(ConvertKanjiCode(jis, kCodeEuc), euc);
  EXPECT_EQ(ConvertKanjiCode(euc, kCodeJisNew), jis);
  EXPECT_EQ(ConvertKanjiCode(Sjis(utf8), kCodeEuc), euc);

  // EUC-JP kana are prefixed with 0x8E, marks included.
  EXPECT_EQ(ConvertKanjiCode("\xB2\xF1\x8E\xB6\x8E\xDE\x8E\xB3\x8E\xDE\x8E\xCA\x8E\xDF\r\n",
                             kCodeJisNew),
            "\x1b$B\x32\x71\x25\x2C\x25\x74\x25\x51\x1b(J\r\n");
  EXPECT_EQ(EucToJis("\x8E\xB1\x8E\xDE"), "\x1b$B\x25\x22\x21\x2B");
  EXPECT_EQ(SjisToEuc("\xB1" "a"), "\x8E\xB1" "a");
  EXPECT_EQ(EucToSjis("\x8E\xB1" "a"), "\xB1" "a");
}

TEST(EucConversions, PrefixOrLeadByteWithoutItsSecondByte) {
  EXPECT_EQ(EucToSjis("a\x8E"), "a");
  EXPECT_EQ(EucToSjis("a\xB2"), "a");
  EXPECT_EQ(EucToJis("a\xB2"), "a");
  EXPECT_EQ(EucToJis("a\x8E"), "a");
  EXPECT_EQ(EucToJis("\x8E" "A"), "A");  // prefix without kana: the byte stands alone
  EXPECT_EQ(EucToJis("\x8E\xB6\x8E"), "\x1b$B\x25\x2B");
}

TEST(RoundTrips, MixedTextSurvivesBothWays) {
  const std::string sjis =
      Sjis("Re: 会議のお知らせ（第２回）\r\n漢字、鵬、熙、ー〜ｘ\r\n\r\nabc 〒100-0001\r\n");
  const std::string jis = ConvertKanjiCode(sjis, kCodeJisNew);
  EXPECT_EQ(DetectKanjiCode(jis), kCodeJisNew);
  EXPECT_EQ(ConvertKanjiCode(jis, kCodeSjis), sjis);

  const std::string with_kana = sjis + Sjis("ｱｲｳｶﾞﾊﾟ\r\n");
  const std::string euc = ConvertKanjiCode(with_kana, kCodeEuc);
  EXPECT_EQ(DetectKanjiCode(euc), kCodeEuc);
  EXPECT_EQ(ConvertKanjiCode(euc, kCodeSjis), with_kana);
}

}  // namespace
}  // namespace zentavo
