#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "text/EncodedWords.h"

using namespace std::string_literals;

namespace zentavo {
namespace {

// テスト and 会議 as ISO-2022-JP words, and their Shift_JIS bytes.
const std::string kTesuto = "=?ISO-2022-JP?B?GyRCJUYlOSVIGyhC?=";
const std::string kKaigi = "=?ISO-2022-JP?B?GyRCMnE1RBsoQg==?=";
const std::string kTesutoSjis = "\x83\x65\x83\x58\x83\x67";
const std::string kKaigiSjis = "\x89\xEF\x8B\x63";

TEST(EncodedWords, Table) {
  struct Row {
    std::string (*decode)(std::string_view);
    std::string in, out;
  };
  const Row rows[] = {
      {DecodeEncodedWords, "", ""},
      {DecodeEncodedWords, "Meeting a?b=c \x89\xEF", "Meeting a?b=c \x89\xEF"},
      {DecodeEncodedWords, "What?= now?=", "What now"},            // every "?=" goes, even in plain text
      {DecodeEncodedWords, "=?UTF-8?B?UsOp?=", "=?UTF-8?B?UsOp"},  // other charsets stay
      {DecodeEncodedWords, "=?iso-2022-jp?b?GyRCJUYlOSVIGyhC?=", kTesutoSjis},
      {DecodeEncodedWords, "Re: " + kTesuto + " (2)", "Re: " + kTesutoSjis + " (2)"},
      {DecodeEncodedWords, kTesuto + " " + kKaigi, kTesutoSjis + " " + kKaigiSjis},
      {DecodeEncodedWords, kTesuto + "\r\n " + kKaigi, kTesutoSjis + "\r\n " + kKaigiSjis},
      // Back to back, the byte after "?=" is plain text: no second word.
      {DecodeEncodedWords, kTesuto + kKaigi, kTesutoSjis + "=?ISO-2022-JP?B?GyRCMnE1RBsoQg=="},
      {DecodeEncodedWords, "=?ISO-2022-JP?B?GyRCJUYlOQ==?=", "\x83\x65\x83\x58"},  // ends in kanji mode
      {DecodeEncodedWords, "abc =?ISO-2022-JP?B?GyRCJUYlOSVIGyhC", "abc "},        // open word dropped
      {DecodeEncodedWords, "x=?ISO-2022-JP?B?QQBC?=y", "xABy"},                    // the zero byte goes
      {DecodeBase64Groups, "QUJDRA", "ABC"},                                       // incomplete last group dropped
      {DecodeBase64Groups, "QQ==", "A"},
      {DecodeBase64Groups, "QUIA", "AB"},
      {DecodeBase64Groups, "AEFC", "\0AB"s},         // the first place is always kept
      {DecodeBase64Groups, "Q?J!", "\x40\x02\x40"},  // characters outside the alphabet add no bits
      {DecodeBase64Groups, "+/+/", "\xFB\xFF\xBF"},
      {JisWordToSjis, "a\x1b$B\x32\x71\x35\x44\x1b(Bb", "a" + kKaigiSjis + "b"},
      {JisWordToSjis, "\x1b$B\x32\x71\x1b(Jb",
       "\x89\xEF"
       "b"},
      {JisWordToSjis, "a\x1b$B\x32", "a"},                                // lone last byte
      {JisWordToSjis, "\x1b$B\x80\x32\x32\x71", "\x89\xEF"},              // bad first byte
      {JisWordToSjis, "\x1b$@\x32\x71\x1b(I1", "\x1b$@\x32\x71\x1b(I1"},  // unknown escapes are data
  };
  for (const Row& r : rows) EXPECT_EQ(r.decode(r.in), r.out) << testing::PrintToString(r.in);
}

}  // namespace
}  // namespace zentavo
