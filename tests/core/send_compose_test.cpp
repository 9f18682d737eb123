#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <tuple>
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
using test::S;
using test::U;
using Lines = std::vector<std::string>;

const LocalDateTime kMay1{2012, 5, 1, 9, 30, 0, 540};

Lines WireLines(const std::string& data) {
  Lines lines;
  for (size_t start = 0; start < data.size();) {
    const size_t crlf = data.find("\r\n", start);
    lines.push_back(data.substr(start, crlf - start));
    start = crlf == std::string::npos ? data.size() : crlf + 2;
  }
  return lines;
}

// The Subject header as it stands on the wire, continuation lines included.
Lines SubjectLines(const std::string& data) {
  const Lines wire = WireLines(data);
  size_t i = 0;
  while (i < wire.size() && wire[i].rfind("Subject: ", 0) != 0) ++i;
  Lines out{wire.at(i)};
  while (++i < wire.size() && wire[i].rfind(' ', 0) == 0) out.push_back(wire[i]);
  return out;
}

NoticeMessage Message(const std::string& subject, const Lines& body = {"x"}) {
  return {"office@example.jp", {}, {}, subject, body};
}

class SendComposeTest : public ::testing::Test {
 protected:
  SendComposeTest() {
    settings.identifier = "MailNo";
    settings.senderAddress = "office@example.jp";
    page.subject = S("連絡");
    page.body = {S("本日")};
  }
  void Row(int r, const char* name, const char* address) { recipients.Cell(0, r) = S(name), recipients.Cell(1, r) = address; }
  BatchMail Mail() {
    int cursor = 0;
    return BuildBatchMail(settings, page, recipients, "1000", "", TakeBatch(recipients, cursor, 0), kMay1);
  }
  Settings settings;
  SendPage page;
  Grid recipients{3, 30};
};

TEST_F(SendComposeTest, BodyEndsInTheStampAndTheListsAskedFor) {
  EXPECT_EQ(BuildNoticeMessage(settings, page, "1000").subject, S("MailNo1000_連絡"));
  EXPECT_EQ(ComposeNoticeBody(page, recipients, "", kMay1), (Lines{S("本日"), " ", "SEND:2012/05/01 09:30:00", " "}));
  page.appendNames = page.appendGroup = page.copyToSelf = true;
  Row(1, "山田", "yamada@example.jp");
  Row(2, "佐藤", "");
  EXPECT_EQ(ComposeNoticeBody(page, recipients, "", kMay1),
            (Lines{S("本日"), " ", "SEND:2012/05/01 09:30:00", " ", S("≪本メールの同報伝達者≫"),
                   S("山田"), S("佐藤"), S("≪本メールの伝達グループ名≫"), S("個別伝達")}));
  EXPECT_EQ(ComposeNoticeBody(page, recipients, S("総務"), kMay1).back(), S("総務"));
  const BatchMail mail = Mail();
  EXPECT_EQ(mail.envelope.recipients, (Lines{"office@example.jp", "yamada@example.jp"}));
  EXPECT_EQ(WireLines(mail.data)[1], "To: office@example.jp");  // copy to self
  EXPECT_EQ(mail.data.find("yamada"), std::string::npos);
  EXPECT_FALSE(test::OpenWithGMime(mail.data).hasBcc);
}

TEST_F(SendComposeTest, BlindNoticeNamesNobodyAndEveryMessageHasItsOwnId) {
  Row(1, "山田", "yamada@example.jp");
  const std::string first = Mail().data, second = Mail().data;
  EXPECT_EQ(test::OpenRawWithGMime(first).to, "undisclosed-recipients: ;");
  const std::string id = test::OpenWithGMime(first).messageId;
  EXPECT_NE(id, test::OpenWithGMime(second).messageId);
  EXPECT_EQ(id.substr(id.find('@')), "@example.jp");
  settings.senderAddress = "office";  // no domain: the machine's name stands in
  char host[256] = {};
  gethostname(host, sizeof host - 1);
  const std::string local = test::OpenWithGMime(Mail().data).messageId;
  EXPECT_EQ(local.substr(local.find('@') + 1), host);
}

TEST_F(SendComposeTest, AsciiBodyGoesUnchangedUnderTheJapaneseCharset) {
  Lines wire = WireLines(RenderNoticeMessage(Message("MailNo1000_test", ConvertBodyToJis({"a\\~", ""})), kMay1));
  ASSERT_EQ(wire[4].rfind("Message-ID: <", 0), 0u);
  wire.erase(wire.begin() + 4);
  EXPECT_EQ(wire, (Lines{"From: office@example.jp", "To: undisclosed-recipients:;", "Subject: MailNo1000_test",
                         "Date: Tue, 01 May 2012 09:30:00 +0900", "MIME-Version: 1.0",
                         "Content-Type: text/plain; charset=ISO-2022-JP", "Content-Transfer-Encoding: 7bit", "",
                         "a\\~", ""}));
}

TEST(ConvertBodyToJis, KnownShiftJisWithEveryLineBackInAscii) {
  const std::pair<Lines, Lines> rows[] = {
      {{S("本日は会議"), "ok"}, {"\x1b$BK\\F|$O2q5D\x1b(B", "ok"}},
      {{S("髙橋") + "abc"}, {"\x1b$B|b66\x1b(Babc"}},  // an IBM extension first is no EUC-JP text
      {{S("ｱｲ")}, {"\x1b$B%\"%$\x1b(B"}},               // kana alone are still Shift_JIS
      {{S("ｱｲｳ"), S("会")}, {"\x1b$B%\"%$%&\x1b(B", "\x1b$B2q\x1b(B"}},
  };
  for (const auto& [in, out] : rows) EXPECT_EQ(ConvertBodyToJis(in), out);

  std::string paragraph;  // too long for one mail line
  for (int i = 0; i < 700; ++i) paragraph += i % 50 == 0 ? std::string("a") : S("髙");
  const Lines jis = ConvertBodyToJis({paragraph, "short"});
  ASSERT_EQ(jis.size(), 3u);
  for (size_t i = 0; i < 2; ++i) EXPECT_TRUE(jis[i].size() <= 998 && jis[i].ends_with("\x1b(B")) << jis[i];
  EXPECT_EQ(U(JisToSjis(jis[0]) + JisToSjis(jis[1])), U(paragraph));
}

TEST_F(SendComposeTest, ReaderSeesSubjectAndBodyAsTyped) {
  page.subject = S("会議の連絡");
  page.body = {S("本日十時より会議を行います。"), "", S("ｶﾞｲﾄﾞ")};
  Row(1, "山田", "yamada@example.jp");
  const BatchMail mail = Mail();
  const test::ReaderView view = test::OpenWithGMime(mail.data);
  EXPECT_EQ(view.subject, S("MailNo1000_会議の連絡"));
  EXPECT_EQ(view.body, S("本日十時より会議を行います。\r\n\r\nガイド\r\n \r\nSEND:2012/05/01 09:30:00\r\n \r\n"));
  EXPECT_EQ(mail.composed[2], S("ｶﾞｲﾄﾞ"));  // the box keeps what the operator typed

  // Code page 932's extensions reach the reader too. GMime cannot convert
  // them (see OpenRawWithGMime), so its bytes are read as readers do.
  page.subject = S("髙橋﨑①②㈱");
  page.body = {S("髙橋 﨑 ①② ㈱")};
  const test::RawReaderView raw = test::OpenRawWithGMime(Mail().data);
  EXPECT_EQ(U(JisToSjis(raw.subjectBytes)), "MailNo1000_髙橋﨑①②㈱");
  EXPECT_EQ(U(JisToSjis(raw.bodyBytes)), "髙橋 﨑 ①② ㈱\r\n \r\nSEND:2012/05/01 09:30:00\r\n \r\n");
}

TEST(NoticeMessage, MailDateCarriesWeekdayAndOffset) {
  EXPECT_EQ(FormatMailDate({2024, 2, 29, 23, 5, 9, 540}), "Thu, 29 Feb 2024 23:05:09 +0900");
  EXPECT_EQ(FormatMailDate({2000, 1, 1, 0, 0, 0, -330}), "Sat, 01 Jan 2000 00:00:00 -0530");
  EXPECT_EQ(FormatDisplayTime({2012, 5, 1, 9, 3, 7, 0}), "2012/05/01 09:03:07");
}

// Every line within 78 characters; every word self-contained (back in ASCII
// with ESC "(B") and, but for the last, without Base64 padding, which makes
// GMime stop decoding the words that follow.
void ExpectWellFolded(const Lines& lines, bool unpaddedWords = true) {
  for (size_t i = 0; i < lines.size(); ++i) {
    EXPECT_LE(lines[i].size(), 78u) << lines[i];
    const std::string rest = lines[i].substr(i == 0 ? 9 : 1);
    if (rest.rfind("=?", 0) != 0) continue;
    EXPECT_EQ(rest.rfind("=?ISO-2022-JP?B?", 0), 0u) << rest;
    const std::string jis = DecodeBase64Groups(rest.substr(16, rest.size() - 18));
    const size_t lastEscape = jis.rfind('\x1b');
    if (lastEscape != std::string::npos) EXPECT_EQ(jis.substr(lastEscape, 3), "\x1b(B") << rest;
    if (unpaddedWords && i + 1 < lines.size()) EXPECT_EQ(rest.find('=', 16), rest.size() - 1) << rest;
  }
}

TEST(SendSubject, SubjectsFoldIntoWordsThatComeBackExactly) {
  // {subject, what the reader sees (half-width kana come back full-width), plain ASCII on the wire}
  const std::tuple<std::string, std::string, bool> subjects[] = {
      {S("MailNo1000_本日の会議は第一会議室にて午後三時より行います。資料は各自で印刷のうえ持参してください。出欠は総務課まで連絡願います。"), "", false},
      {S("MailNo9999_Re: 予定 schedule 変更のお知らせ (second notice) 来週月曜日の朝礼は中止します ABC def ガイド"), "", false},
      {S("MailNo1234_") + std::string(200, 'a') + S("漢"), "", false},
      {S("MailNo1001_ｱｲｳｴｵ半角ｶﾞｲﾄﾞ") + "x", S("MailNo1001_アイウエオ半角ガイド") + "x", false},
      {"MailNo1000_the quarterly meeting of all section heads moves to the large hall on the third floor", "", true},
      {"MailNo1000_two  blanks", "", false}, {"MailNo1000_trailing ", "", false}, {"MailNo1000_=?x?=", "", false},
      {"MailNo1000_" + std::string(90, 'z'), "", false}, {"MailNo1000_\ttab", "", false},
  };
  for (const auto& [subject, seen, plain] : subjects) {
    SCOPED_TRACE(U(subject));
    const std::string data = RenderNoticeMessage(Message(subject), kMay1);
    const Lines lines = SubjectLines(data);
    ExpectWellFolded(lines);
    EXPECT_EQ(lines[0].find("=?") == std::string::npos, plain);
    EXPECT_EQ(test::OpenWithGMime(data).subject, seen.empty() ? subject : seen);
    if (!plain) EXPECT_EQ(DecodeEncodedWords(lines[0].substr(9)).substr(0, 11), subject.substr(0, 11));
  }
  const Lines one = SubjectLines(RenderNoticeMessage(Message(S("MailNo1000_会議")), kMay1));
  EXPECT_EQ(one, Lines{"Subject: =?ISO-2022-JP?B?TWFpbE5vMTAwMF8bJEIycTVEGyhC?="});
}

TEST(SendSubject, AlternatingCharactersStillGiveValidWords) {
  // One- and two-byte characters in strict turn offer no cut without Base64
  // padding; the words are still well-formed and complete.
  std::string subject = "MailNo1000_";
  for (int i = 0; i < 30; ++i) subject += S("漢") + "a";
  const Lines lines = SubjectLines(RenderNoticeMessage(Message(subject), kMay1));
  ExpectWellFolded(lines, false);
  std::string decoded;
  for (const auto& line : lines) decoded += DecodeEncodedWords(line.substr(line[0] == ' ' ? 1 : 9));
  EXPECT_EQ(decoded, subject);
}

TEST(SendSubject, LineBreaksNeverStartANewHeaderLine) {
  NoticeMessage m = Message(S("MailNo1000_会議\r\nBcc: all@example.jp"), {"line\r\n.\r\nMAIL FROM:<x>", "bare\rcr"});
  m.from = "office@example.jp\r\nBcc: x@example.jp";
  m.to = {"office@example.jp\nX-Evil: 1"};
  m.bcc = {"a@example.jp\r\nRCPT TO:<b@example.jp>"};
  const std::string data = RenderNoticeMessage(m, kMay1);
  const Lines wire = WireLines(data);
  EXPECT_EQ(wire[0], "From: office@example.jpBcc: x@example.jp");
  EXPECT_EQ(wire[1], "To: office@example.jpX-Evil: 1");
  EXPECT_EQ(test::OpenWithGMime(data).subject, S("MailNo1000_会議Bcc: all@example.jp"));
  for (size_t i = 0; i < data.size(); ++i)  // every CR and LF stands in a CR LF pair
    EXPECT_TRUE(data[i] == '\r' ? data[i + 1] == '\n' : data[i] != '\n' || data[i - 1] == '\r') << i;
  EXPECT_NE(data.find("\r\nbare\r\ncr\r\n"), std::string::npos);
  const SmtpEnvelope e = NoticeEnvelope(m);
  EXPECT_EQ(e.from, "office@example.jpBcc: x@example.jp");
  EXPECT_EQ(e.recipients, (Lines{"office@example.jpX-Evil: 1", "a@example.jpRCPT TO:<b@example.jp>"}));
}

}  // namespace
}  // namespace zentavo
