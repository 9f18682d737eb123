#include <gtest/gtest.h>

#include <string>

#include "text/EncodedWords.h"

using namespace std::string_literals;

namespace zentavo {
namespace {

// テスト and 会議 as ISO-2022-JP words, and their Shift_JIS bytes.
const std::string kTesuto = "=?ISO-2022-JP?B?GyRCJUYlOSVIGyhC?=";
const std::string kKaigi = "=?ISO-2022-JP?B?GyRCMnE1RBsoQg==?=";
const std::string kTesutoSjis = "\x83\x65\x83\x58\x83\x67";
const std::string kKaigiSjis = "\x89\xEF\x8B\x63";

TEST(DecodeEncodedWords, PlainTextPassesExceptEveryClosingMark) {
  EXPECT_EQ(DecodeEncodedWords(""), "");
  EXPECT_EQ(DecodeEncodedWords("Meeting a?b=c \x89\xEF"), "Meeting a?b=c \x89\xEF");
  EXPECT_EQ(DecodeEncodedWords("What?= now?="), "What now");
  // Other charsets are not decoded; only their "?=" goes.
  EXPECT_EQ(DecodeEncodedWords("=?UTF-8?B?UsOp?="), "=?UTF-8?B?UsOp");
}

TEST(DecodeEncodedWords, WordsAmongPlainText) {
  EXPECT_EQ(DecodeEncodedWords(kTesuto), kTesutoSjis);
  EXPECT_EQ(DecodeEncodedWords("=?iso-2022-jp?b?GyRCJUYlOSVIGyhC?="), kTesutoSjis);
  EXPECT_EQ(DecodeEncodedWords("Re: " + kTesuto + " (2)"), "Re: " + kTesutoSjis + " (2)");
  EXPECT_EQ(DecodeEncodedWords(kTesuto + " " + kKaigi), kTesutoSjis + " " + kKaigiSjis);
  EXPECT_EQ(DecodeEncodedWords(kTesuto + "\r\n " + kKaigi), kTesutoSjis + "\r\n " + kKaigiSjis);
  // Written back to back, the byte after "?=" is taken as plain text, so the
  // second word is not recognised.
  EXPECT_EQ(DecodeEncodedWords(kTesuto + kKaigi),
            kTesutoSjis + "=?ISO-2022-JP?B?GyRCMnE1RBsoQg==");
}

TEST(DecodeEncodedWords, UnfinishedAndDamagedWords) {
  // decoded bytes end in kanji mode: ESC "$B" テス without ESC "(B"
  EXPECT_EQ(DecodeEncodedWords("=?ISO-2022-JP?B?GyRCJUYlOQ==?="), "\x83\x65\x83\x58");
  // no "?=": the open word is dropped
  EXPECT_EQ(DecodeEncodedWords("abc =?ISO-2022-JP?B?GyRCJUYlOSVIGyhC"), "abc ");
  EXPECT_EQ(DecodeEncodedWords("abc =?ISO-2022-JP?B?"), "abc ");
  // "A", zero, "B": the zero byte goes
  EXPECT_EQ(DecodeEncodedWords("x=?ISO-2022-JP?B?QQBC?=y"), "xABy");
}

TEST(DecodeBase64Groups, GroupsOfFourAndTheZeroByteRule) {
  EXPECT_EQ(DecodeBase64Groups(""), "");
  EXPECT_EQ(DecodeBase64Groups("QUJD"), "ABC");
  EXPECT_EQ(DecodeBase64Groups("QUJDRA"), "ABC");  // incomplete last group dropped
  EXPECT_EQ(DecodeBase64Groups("QQ=="), "A");
  EXPECT_EQ(DecodeBase64Groups("QQBC"), "AB");
  EXPECT_EQ(DecodeBase64Groups("QUIA"), "AB");
  EXPECT_EQ(DecodeBase64Groups("AEFC"), "\0AB"s);  // first place is always kept
  EXPECT_EQ(DecodeBase64Groups("===="), "\0"s);
  // characters outside the alphabet add no bits
  EXPECT_EQ(DecodeBase64Groups("Q?J!"), "\x40\x02\x40");
  EXPECT_EQ(DecodeBase64Groups("+/+/"), "\xFB\xFF\xBF");
}

TEST(JisWordToSjis, EscapesPairsAndLeftovers) {
  EXPECT_EQ(JisWordToSjis("a\x1b$B\x32\x71\x35\x44\x1b(Bb"), "a" + kKaigiSjis + "b");
  EXPECT_EQ(JisWordToSjis("\x1b$B\x32\x71\x1b(Jb"), "\x89\xEF" "b");
  EXPECT_EQ(JisWordToSjis("\x1b$B\x32\x71\x1b$B\x35\x44"), kKaigiSjis);
  EXPECT_EQ(JisWordToSjis("a\x1b$B\x32"), "a");                      // lone last byte
  EXPECT_EQ(JisWordToSjis("\x1b$B\x80\x32\x32\x71"), "\x89\xEF");     // bad first byte
  EXPECT_EQ(JisWordToSjis("\x1b$B\x7F\x21\x21\x21"), "\x81\x40");
  // unrecognised escapes are data
  EXPECT_EQ(JisWordToSjis("\x1b$@\x32\x71\x1b(I1"), "\x1b$@\x32\x71\x1b(I1");
  EXPECT_EQ(JisWordToSjis("\x1b$"), "\x1b$");
}

}  // namespace
}  // namespace zentavo
