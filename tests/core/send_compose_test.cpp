#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "send/NoticeMessage.h"
#include "send/SendRun.h"
#include "support/MailReader.h"
#include "support/TestSupport.h"
#include "text/EncodedWords.h"
#include "text/KanjiCode.h"

namespace zentavo {
namespace {
using test::S, test::U;

// One-digit fields show the zero padding, the offset west of Greenwich its sign.
const LocalDateTime kMay1{2012, 5, 1, 9, 3, 7, -330};

// The lines between CR LF pairs; a bare CR or LF stays inside its line.
Lines WireLines(std::string_view data) {
  Lines lines;
  for (size_t at; (at = data.find("\r\n")) != data.npos; data.remove_prefix(at + 2)) lines.emplace_back(data, 0, at);
  if (!data.empty()) lines.emplace_back(data);
  return lines;
}

bool SevenBit(const std::string& data) {
  return std::ranges::none_of(data, [](char c) { return c & 0x80; });
}

struct SendComposeTest : ::testing::Test {
  SendComposeTest() {
    settings.identifier = "MailNo";
    settings.senderAddress = "office@example.jp";
    recipients.rows[1] = {S("山田"), "yamada@example.jp", ""};
  }
  BatchMail Mail() { return BuildBatchMail(settings, page, recipients, "1000", "", {"yamada@example.jp"}, kMay1); }
  Settings settings;
  SendPage page;
  Grid recipients{3, 30};
};

// A notice to blind recipients, byte for byte: their addresses stay off the
// wire, an ASCII body goes unchanged under the Japanese charset.
TEST_F(SendComposeTest, BlindNoticeAsRenderedWithAnIdOfItsOwn) {
  page.subject = S("会議");
  page.body = {"a\\~", ""};
  const std::string first = Mail().data, id = test::OpenWithGMime(first).messageId;
  EXPECT_EQ(WireLines(first),
            (Lines{"From: office@example.jp", "To: undisclosed-recipients:;",
                   "Subject: =?ISO-2022-JP?B?TWFpbE5vMTAwMF8bJEIycTVEGyhC?=", "Date: Tue, 01 May 2012 09:03:07 -0530",
                   "Message-ID: <" + id + ">", "MIME-Version: 1.0", "Content-Type: text/plain; charset=ISO-2022-JP",
                   "Content-Transfer-Encoding: 7bit", "", "a\\~", "", " ", "SEND:2012/05/01 09:03:07", " "}));
  EXPECT_TRUE(id.ends_with("@example.jp")) << id;
  EXPECT_NE(id, test::OpenWithGMime(Mail().data).messageId);
  settings.senderAddress = "office";  // no domain: the machine's name stands in
  char host[256] = {};
  gethostname(host, sizeof host - 1);
  EXPECT_TRUE(test::OpenWithGMime(Mail().data).messageId.ends_with(std::string("@") + host));
}

// Code page 932's extensions included: GMime cannot convert them (see
// OpenRawWithGMime), so its bytes are read as readers do.
TEST_F(SendComposeTest, ReaderSeesWhatWasTypedThenTheStampAndTheListsAskedFor) {
  page.subject = S("会議 ｶﾞｲﾄﾞ髙橋﨑①②㈱");
  page.body = {S("本日十時より会議を行います。"), "", S("ｶﾞｲﾄﾞ 髙橋 﨑 ①② ㈱")};
  page.appendNames = page.appendGroup = page.copyToSelf = true;
  recipients.Cell(0, 2) = S("佐藤");  // listed by name, though it has no address
  const BatchMail mail = Mail();
  const test::RawReaderView raw = test::OpenRawWithGMime(mail.data);
  EXPECT_EQ(U(JisWordToSjis(raw.subjectBytes)), "MailNo1000_会議 ガイド髙橋﨑①②㈱");
  EXPECT_EQ(U(JisToSjis(raw.bodyBytes)),
            "本日十時より会議を行います。\r\n\r\nガイド 髙橋 﨑 ①② ㈱\r\n \r\nSEND:2012/05/01 09:03:07\r\n \r\n"
            "≪本メールの同報伝達者≫\r\n山田\r\n佐藤\r\n≪本メールの伝達グループ名≫\r\n個別伝達\r\n");
  EXPECT_EQ(mail.composed[2], S("ｶﾞｲﾄﾞ 髙橋 﨑 ①② ㈱"));  // the box keeps what the operator typed
  EXPECT_EQ(ComposeNoticeBody(page, recipients, S("総務"), kMay1).back(), S("総務"));
  EXPECT_EQ(mail.envelope.recipients, (Lines{"office@example.jp", "yamada@example.jp"}));
  EXPECT_EQ(WireLines(mail.data)[1], "To: office@example.jp");  // copy to self
  EXPECT_EQ(mail.data.find("yamada"), std::string::npos);
  EXPECT_TRUE(SevenBit(mail.data));
}

TEST(ConvertBodyToJis, KnownShiftJisWithEveryLineBackInAscii) {
  const std::pair<Lines, Lines> rows[] = {
      {{S("本日は会議"), S("会"), "ok"}, {"\x1b$BK\\F|$O2q5D\x1b(B", "\x1b$B2q\x1b(B", "ok"}},
      // Neither an IBM extension first nor kana alone make the text EUC-JP.
      {{S("髙橋") + "abc"}, {"\x1b$B|b66\x1b(Babc"}},
      {{S("ｱｲ")}, {"\x1b$B%\"%$\x1b(B"}},
  };
  for (const auto& [in, out] : rows) EXPECT_EQ(ConvertBodyToJis(in), out);

  std::string paragraph;  // too long for one mail line
  for (int i = 0; i < 700; ++i) paragraph += i % 50 == 0 ? std::string("a") : S("髙");
  const Lines jis = ConvertBodyToJis({paragraph, "short"});
  ASSERT_EQ(jis.size(), 3u);
  for (size_t i = 0; i < 2; ++i) EXPECT_TRUE(jis[i].size() <= 998 && jis[i].ends_with("\x1b(B")) << jis[i];
  EXPECT_EQ(U(JisToSjis(jis[0]) + JisToSjis(jis[1])) + jis[2], U(paragraph) + "short");
}

TEST(NoticeMessage, MailDateCarriesWeekdayAndOffset) {
  EXPECT_EQ(FormatMailDate({2024, 2, 29, 23, 5, 9, 540}), "Thu, 29 Feb 2024 23:05:09 +0900");
  EXPECT_EQ(FormatMailDate({2000, 1, 1, 0, 0, 0, 0}), "Sat, 01 Jan 2000 00:00:00 +0000");
}

TEST(SendSubject, SubjectsFoldIntoWordsThatComeBackExactly) {
  // How a subject goes on the wire: as it is, in words, or in words some of
  // which carry Base64 padding, as one- and two-byte characters in strict
  // turn offer no cut without it.
  enum Form { kPlain, kWords, kPadded };
  // clang-format off
  const std::pair<std::string, Form> subjects[] = {
      {S("MailNo1000_本日の会議は第一会議室にて午後三時より行います。資料は各自で印刷のうえ持参してください。出欠は総務課まで連絡願います。"), kWords},
      {S("MailNo9999_Re: 予定 schedule 変更のお知らせ (second notice) 来週月曜日の朝礼は中止します ABC def ガイド"), kWords},
      {S("MailNo1234_") + std::string(200, 'a') + S("漢"), kWords}, {"MailNo1000_" + std::string(90, 'z'), kWords},
      {"MailNo1000_the quarterly meeting of all section heads moves to the large hall on the third floor", kPlain},
      {"MailNo1000_two  blanks", kWords}, {"MailNo1000_trailing ", kWords}, {"MailNo1000_=?x?=", kWords},
      {"MailNo1000_\ttab", kWords},
      {S("MailNo1000_漢a漢a漢a漢a漢a漢a漢a漢a漢a漢a漢a漢a漢a漢a漢a漢a漢a漢a漢a漢a漢a漢a漢a漢a漢a漢a漢a漢a漢a漢a"), kPadded},
  };
  // clang-format on
  for (const auto& [subject, form] : subjects) {
    SCOPED_TRACE(U(subject));
    const std::string data = RenderNoticeMessage({"office@example.jp", {}, {}, subject, {"x"}}, kMay1);
    // The Subject header as it stands on the wire, continuation lines included
    // (Date follows it, as the rendered header block shows).
    const size_t at = data.find("Subject: ");
    const Lines lines = WireLines(std::string_view(data).substr(at, data.find("\r\nDate: ") - at));
    // Every line within 78 characters, every word self-contained (back in
    // ASCII with ESC "(B") and, but for the last, without Base64 padding,
    // which makes GMime stop decoding the words that follow.
    std::string words;
    for (size_t i = 0; i < lines.size(); ++i) {
      EXPECT_LE(lines[i].size(), 78u) << lines[i];
      const std::string rest = lines[i].substr(i == 0 ? 9 : 1);
      if (!rest.starts_with("=?")) continue;
      EXPECT_TRUE(rest.starts_with("=?ISO-2022-JP?B?")) << rest;
      const std::string jis = DecodeBase64Groups(rest.substr(16, rest.size() - 18));
      EXPECT_EQ(jis.rfind('\x1b'), jis.rfind("\x1b(B")) << rest;
      if (form != kPadded && i + 1 < lines.size()) EXPECT_EQ(rest.find('=', 16), rest.size() - 1) << rest;
      words += JisWordToSjis(jis);
    }
    EXPECT_EQ(lines[0].find("=?") == std::string::npos, form == kPlain);
    // GMime stops decoding at padding; the program's own word decoder reads on.
    EXPECT_EQ(form == kPadded ? words : test::OpenWithGMime(data).subject, subject);
    EXPECT_TRUE(SevenBit(data));
  }
}

TEST(SendSubject, LineBreaksNeverStartANewHeaderLine) {
  const NoticeMessage m{"office@example.jp\r\nBcc: x@example.jp",
                        {"office@example.jp\nX-Evil: 1"},
                        {"a@example.jp\r\nRCPT TO:<b@example.jp>"},
                        S("MailNo1000_会議\r\nBcc: all@example.jp"),
                        {"line\r\n.\r\nMAIL FROM:<x>", "bare\rcr"}};
  const std::string data = RenderNoticeMessage(m, kMay1);
  const Lines wire = WireLines(data);
  EXPECT_EQ(Lines(wire.begin(), wire.begin() + 2),
            (Lines{"From: office@example.jpBcc: x@example.jp", "To: office@example.jpX-Evil: 1"}));
  EXPECT_EQ(test::OpenWithGMime(data).subject, S("MailNo1000_会議Bcc: all@example.jp"));
  for (const std::string& line : wire) EXPECT_EQ(line.find_first_of("\r\n"), std::string::npos) << line;
  EXPECT_NE(data.find("\r\nbare\r\ncr\r\n"), std::string::npos);
  EXPECT_EQ(NoticeEnvelope(m).from, "office@example.jpBcc: x@example.jp");
  EXPECT_EQ(NoticeEnvelope(m).recipients, (Lines{"office@example.jpX-Evil: 1", "a@example.jpRCPT TO:<b@example.jp>"}));
}

}  // namespace
}  // namespace zentavo
