#include <gmime/gmime.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "send/NoticeMessage.h"
#include "send/SendRun.h"
#include "support/TestSupport.h"
#include "text/EncodedWords.h"
#include "text/KanjiCode.h"
#include "text/SjisUnicode.h"

namespace zentavo {
namespace {
using test::S;
using Lines = std::vector<std::string>;

const LocalDateTime kMay1{2012, 5, 1, 9, 30, 0, 540};

std::vector<std::string> WireLines(const std::string& data) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < data.size()) {
    const size_t crlf = data.find("\r\n", start);
    if (crlf == std::string::npos) {
      lines.push_back(data.substr(start));
      break;
    }
    lines.push_back(data.substr(start, crlf - start));
    start = crlf + 2;
  }
  return lines;
}

// The header lines up to the blank line.
std::vector<std::string> HeaderLines(const std::string& data) {
  std::vector<std::string> header;
  for (const auto& line : WireLines(data)) {
    if (line.empty()) break;
    header.push_back(line);
  }
  return header;
}

// The Subject header as it stands on the wire, continuation lines included.
std::vector<std::string> SubjectLines(const std::string& data) {
  std::vector<std::string> out;
  for (const auto& line : HeaderLines(data)) {
    if (line.rfind("Subject: ", 0) == 0) {
      out.push_back(line);
    } else if (!out.empty() && (line[0] == ' ' || line[0] == '\t')) {
      out.push_back(line);
    } else if (!out.empty()) {
      break;
    }
  }
  return out;
}

// What a real mail reader makes of the message: GMime parses the wire text;
// the subject and the body text come back in UTF-8.
struct Parsed {
  std::string subject;  // Shift_JIS
  std::string body;     // Shift_JIS
  std::string contentType;
  bool hasBcc = false;
};

Parsed ParseWithGMime(const std::string& data) {
  static const bool initialised = [] {
    g_mime_init();
    return true;
  }();
  (void)initialised;
  Parsed p;
  GMimeStream* stream = g_mime_stream_mem_new_with_buffer(data.data(), data.size());
  GMimeParser* parser = g_mime_parser_new_with_stream(stream);
  GMimeMessage* message = g_mime_parser_construct_message(parser, nullptr);
  EXPECT_NE(message, nullptr);
  if (message) {
    const char* subject = g_mime_message_get_subject(message);
    p.subject = Utf8ToSjis(subject ? subject : "").text;
    GMimeObject* part = g_mime_message_get_mime_part(message);
    if (part && GMIME_IS_TEXT_PART(part)) {
      char* text = g_mime_text_part_get_text(GMIME_TEXT_PART(part));
      p.body = Utf8ToSjis(text ? text : "").text;
      g_free(text);
      char* type = g_mime_content_type_get_mime_type(g_mime_object_get_content_type(part));
      p.contentType = type ? type : "";
      g_free(type);
    }
    InternetAddressList* bcc = g_mime_message_get_bcc(message);
    p.hasBcc = bcc && internet_address_list_length(bcc) > 0;
    g_object_unref(message);
  }
  g_object_unref(parser);
  g_object_unref(stream);
  return p;
}

NoticeMessage Message(const std::string& subject, const Lines& body = {"x"}) {
  NoticeMessage m;
  m.from = "office@example.jp";
  m.subject = subject;
  m.body = body;
  return m;
}

// ---- The body -----------------------------------------------------------

class SendComposeTest : public ::testing::Test {
 protected:
  SendComposeTest() {
    settings.identifier = "MailNo";
    settings.senderAddress = "office@example.jp";
  }
  void Row(int r, const std::string& name, const std::string& address) {
    recipients.Cell(0, r) = S(name);
    recipients.Cell(1, r) = address;
  }
  Settings settings;
  SendPage page;
  Grid recipients{3, 30};
};

TEST_F(SendComposeTest, PlainNoticeHasStampBetweenBlankLines) {
  page.subject = S("連絡");
  page.body = {S("本日")};
  NoticeMessage m = BuildNoticeMessage(settings, page, "1000");
  EXPECT_EQ(m.subject, S("MailNo1000_連絡"));
  EXPECT_EQ(m.from, "office@example.jp");
  EXPECT_TRUE(m.to.empty());
  EXPECT_EQ(ComposeNoticeBody(page, recipients, "", kMay1),
            (Lines{S("本日"), " ", "SEND:2012/05/01 09:30:00", " "}));
}

TEST_F(SendComposeTest, AppendedListsNameEveryRecipientAndIndividualSending) {
  page.subject = S("連絡");
  page.body = {S("本日")};
  page.appendNames = page.appendGroup = page.copyToSelf = true;
  Row(1, "山田", "yamada@example.jp");
  Row(2, "佐藤", "");
  EXPECT_EQ(ComposeNoticeBody(page, recipients, "", kMay1),
            (Lines{S("本日"), " ", "SEND:2012/05/01 09:30:00", " ", S("≪本メールの同報伝達者≫"),
                   S("山田"), S("佐藤"), S("≪本メールの伝達グループ名≫"), S("個別伝達")}));
  EXPECT_EQ(ComposeNoticeBody(page, recipients, S("総務"), kMay1).back(), S("総務"));

  int cursor = 0;
  BatchMail mail = BuildBatchMail(settings, page, recipients, "1000", "",
                                  TakeBatch(recipients, cursor, 0), kMay1);
  EXPECT_EQ(mail.envelope.recipients, (Lines{"office@example.jp", "yamada@example.jp"}));
  const Lines header = HeaderLines(mail.data);
  EXPECT_EQ(header[1], "To: office@example.jp");
  for (const auto& line : header) EXPECT_EQ(line.find("yamada"), std::string::npos) << line;
  EXPECT_FALSE(ParseWithGMime(mail.data).hasBcc);
}

TEST_F(SendComposeTest, AsciiBodyGoesUnchangedUnderTheJapaneseCharset) {
  NoticeMessage m = Message("MailNo1000_test", ConvertBodyToJis({"hello", " ", "SEND:x"}));
  EXPECT_EQ(m.body, (Lines{"hello", " ", "SEND:x"}));
  const std::string data = RenderNoticeMessage(m, kMay1);
  EXPECT_EQ(data,
            "From: office@example.jp\r\n"
            "Subject: MailNo1000_test\r\n"
            "Date: Tue, 01 May 2012 09:30:00 +0900\r\n"
            "MIME-Version: 1.0\r\n"
            "Content-Type: text/plain; charset=ISO-2022-JP\r\n"
            "Content-Transfer-Encoding: 7bit\r\n"
            "\r\n"
            "hello\r\n"
            " \r\n"
            "SEND:x\r\n");
}

TEST_F(SendComposeTest, KanjiRunsAreClosedBeforeEveryLineEnd) {
  const Lines jis = ConvertBodyToJis({S("本日は会議"), "ok"});
  ASSERT_EQ(jis.size(), 2u);
  EXPECT_EQ(jis[0].substr(0, 3), "\x1b$B");
  EXPECT_EQ(jis[0].substr(jis[0].size() - 3), "\x1b(J");
  EXPECT_EQ(jis[1], "ok");
}

TEST_F(SendComposeTest, HalfWidthKanaBecomesFullWidthEvenWhenDetectionCannotDecide) {
  // With a kanji elsewhere the text is recognised as Shift_JIS.
  EXPECT_EQ(ConvertBodyToJis({S("ｱｲｳ"), S("会議")})[0], "\x1b$B" "%\"%$%&" "\x1b(J");
  // Two half-width kana alone leave the detection undecided; they must not
  // go out as raw eight-bit Shift_JIS under an ISO-2022-JP label.
  const Lines kana = ConvertBodyToJis({S("ｱｲ")});
  EXPECT_EQ(kana, Lines{"\x1b$B%\"%$\x1b(J"});
  for (char c : kana[0]) EXPECT_LT(static_cast<unsigned char>(c), 0x80);
}

TEST_F(SendComposeTest, OverlongLinesAreBrokenBetweenCharactersWithinTheMailLimit) {
  std::string paragraph;
  for (int i = 0; i < 700; ++i) paragraph += i % 50 == 49 ? std::string("a") : S("会");
  const Lines jis = ConvertBodyToJis({paragraph, "short"});
  ASSERT_GT(jis.size(), 2u);
  std::string joined;
  for (size_t i = 0; i + 1 < jis.size(); ++i) {
    EXPECT_LE(jis[i].size(), 998u);
    // Each piece is whole ISO-2022-JP: it ends in the one-byte code.
    const size_t lastEscape = jis[i].rfind('\x1b');
    ASSERT_NE(lastEscape, std::string::npos);
    EXPECT_EQ(jis[i].substr(lastEscape, 3), "\x1b(J");
    joined += JisToSjis(jis[i]);
  }
  EXPECT_EQ(joined, paragraph);
  EXPECT_EQ(jis.back(), "short");
  // A line within the limit stays whole.
  EXPECT_EQ(ConvertBodyToJis({S("会議")}).size(), 1u);
}

TEST_F(SendComposeTest, ReaderSeesTheComposedBody) {
  page.subject = S("会議の連絡");
  page.body = {S("本日十時より会議を行います。"), "", S("ｶﾞｲﾄﾞ")};
  int cursor = 0;
  Row(1, "山田", "yamada@example.jp");
  BatchMail mail = BuildBatchMail(settings, page, recipients, "1000", "",
                                  TakeBatch(recipients, cursor, 0), kMay1);
  const Parsed p = ParseWithGMime(mail.data);
  EXPECT_EQ(p.contentType, "text/plain");
  EXPECT_EQ(p.subject, S("MailNo1000_会議の連絡"));
  EXPECT_EQ(p.body, S("本日十時より会議を行います。\r\n\r\nガイド\r\n \r\nSEND:2012/05/01 09:30:00\r\n \r\n"));
  EXPECT_EQ(mail.composed[2], S("ｶﾞｲﾄﾞ"));  // the box keeps what the operator typed
}

TEST_F(SendComposeTest, MailDateCarriesWeekdayAndOffset) {
  EXPECT_EQ(FormatMailDate({2024, 2, 29, 23, 5, 9, 540}), "Thu, 29 Feb 2024 23:05:09 +0900");
  EXPECT_EQ(FormatMailDate({2000, 1, 1, 0, 0, 0, -330}), "Sat, 01 Jan 2000 00:00:00 -0530");
  EXPECT_EQ(FormatDisplayTime({2012, 5, 1, 9, 3, 7, 0}), "2012/05/01 09:03:07");
}

// ---- The Subject header ----------------------------------------------------

void ExpectWellFolded(const std::string& data, bool unpaddedWords = true) {
  const Lines lines = SubjectLines(data);
  ASSERT_FALSE(lines.empty());
  for (size_t i = 0; i < lines.size(); ++i) {
    EXPECT_LE(lines[i].size(), 78u) << lines[i];
    if (i > 0) {
      EXPECT_EQ(lines[i][0], ' ');
    }
    std::string rest = i == 0 ? lines[i].substr(9) : lines[i].substr(1);
    if (rest.rfind("=?", 0) == 0) {
      EXPECT_LE(rest.size(), 75u) << rest;
      EXPECT_EQ(rest.rfind("=?ISO-2022-JP?B?", 0), 0u) << rest;
      EXPECT_EQ(rest.substr(rest.size() - 2), "?=");
      // Every word is self-contained: it ends back in ASCII.
      const std::string jis = DecodeBase64Groups(rest.substr(16, rest.size() - 18));
      const size_t lastEscape = jis.rfind('\x1b');
      if (lastEscape != std::string::npos) {
        EXPECT_EQ(jis.substr(lastEscape, 3), "\x1b(B") << "word ends in kanji mode";
      }
      // No padding before the last word: GMime stops decoding at it.
      if (unpaddedWords && i + 1 < lines.size()) {
        EXPECT_EQ(rest.find('=', 16), rest.size() - 1) << rest;
      }
      EXPECT_EQ(jis.find("\x1b(J"), std::string::npos);
    }
  }
}

TEST(SendSubject, ShortJapaneseSubjectIsOneWordBothDecodersRead) {
  const std::string subject = S("MailNo1000_会議");
  const std::string data = RenderNoticeMessage(Message(subject), kMay1);
  const Lines lines = SubjectLines(data);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0], "Subject: =?ISO-2022-JP?B?TWFpbE5vMTAwMF8bJEIycTVEGyhC?=");
  ExpectWellFolded(data);
  EXPECT_EQ(ParseWithGMime(data).subject, subject);
  EXPECT_EQ(DecodeEncodedWords(lines[0].substr(9)), subject);
}

TEST(SendSubject, LongSubjectsFoldIntoWordsThatDecodeExactly) {
  // Half-width kana cannot travel in ISO-2022-JP: they come back full-width.
  const std::vector<std::pair<std::string, std::string>> subjects = {
      {S("MailNo1000_本日の会議は第一会議室にて午後三時より行います。資料は各自で印刷のうえ持参してください。出欠は総務課まで連絡願います。"), ""},
      {S("MailNo9999_Re: 予定 schedule 変更のお知らせ (second notice) 来週月曜日の朝礼は中止します ABC def ガイド"), ""},
      {S("MailNo1234_") + std::string(200, 'a') + S("漢"), ""},
      {S("MailNo1001_ｱｲｳｴｵ半角カナ混在ﾃｽﾄｶﾞｲﾄﾞ") + "x", S("MailNo1001_アイウエオ半角カナ混在テストガイド") + "x"},
  };
  for (const auto& [subject, fullWidth] : subjects) {
    const std::string data = RenderNoticeMessage(Message(subject), kMay1);
    SCOPED_TRACE(test::U(subject));
    ExpectWellFolded(data);
    const Lines lines = SubjectLines(data);
    EXPECT_GT(lines.size(), 1u);
    // Identifier and MailNo stand together in the first word.
    const std::string first = lines[0].substr(9);
    const std::string firstText = JisWordToSjis(DecodeBase64Groups(first.substr(16, first.size() - 18)));
    EXPECT_EQ(firstText.substr(0, 11), subject.substr(0, 11));
    const std::string expected = fullWidth.empty() ? subject : fullWidth;
    EXPECT_EQ(ParseWithGMime(data).subject, expected);
  }
}

TEST(SendSubject, AlternatingCharactersStillGiveValidWords) {
  // One- and two-byte characters in strict turn offer no cut without Base64
  // padding; the words are still well-formed and complete.
  std::string subject = "MailNo1000_";
  for (int i = 0; i < 30; ++i) subject += S("漢") + "a";
  const std::string data = RenderNoticeMessage(Message(subject), kMay1);
  ExpectWellFolded(data, false);
  std::string decoded;
  for (const auto& line : SubjectLines(data)) {
    const std::string word = line.substr(line[0] == ' ' ? 1 : 9);
    decoded += DecodeEncodedWords(word);
  }
  EXPECT_EQ(decoded, subject);
}

TEST(SendSubject, AsciiSubjectsStayPlainWhereTheyCanComeBackExactly) {
  const std::string longAscii =
      "MailNo1000_the quarterly meeting of all section heads moves to the large hall on the third floor";
  const std::string data = RenderNoticeMessage(Message(longAscii), kMay1);
  const Lines lines = SubjectLines(data);
  ASSERT_GT(lines.size(), 1u);
  EXPECT_EQ(lines[0].find("=?"), std::string::npos);  // folded at blanks, not encoded
  ExpectWellFolded(data);
  EXPECT_EQ(ParseWithGMime(data).subject, longAscii);

  // What plain text could not carry exactly is encoded instead.
  for (const std::string& s : std::vector<std::string>{"MailNo1000_two  blanks", "MailNo1000_trailing ", "MailNo1000_=?x?=",
                               "MailNo1000_" + std::string(90, 'z'), std::string("MailNo1000_\ttab")}) {
    const std::string d = RenderNoticeMessage(Message(s), kMay1);
    SCOPED_TRACE(s);
    EXPECT_EQ(SubjectLines(d)[0].rfind("Subject: =?ISO-2022-JP?B?", 0), 0u);
    ExpectWellFolded(d);
    EXPECT_EQ(ParseWithGMime(d).subject, s);
  }
}

TEST(SendSubject, LineBreaksNeverStartANewHeaderLine) {
  NoticeMessage m = Message(S("MailNo1000_会議\r\nBcc: all@example.jp"));
  m.from = "office@example.jp\r\nBcc: x@example.jp";
  m.to = {"office@example.jp\nX-Evil: 1"};
  m.bcc = {"a@example.jp\r\nRCPT TO:<b@example.jp>"};
  m.body = {"line\r\n.\r\nMAIL FROM:<x>", "bare\rcr"};
  const std::string data = RenderNoticeMessage(m, kMay1);
  const Lines header = HeaderLines(data);
  ASSERT_GE(header.size(), 7u);
  EXPECT_EQ(header[0], "From: office@example.jpBcc: x@example.jp");
  EXPECT_EQ(header[1], "To: office@example.jpX-Evil: 1");
  for (const auto& line : header) {
    EXPECT_TRUE(line[0] == ' ' || line.rfind("From: ", 0) == 0 || line.rfind("To: ", 0) == 0 ||
                line.rfind("Subject: ", 0) == 0 || line.rfind("Date: ", 0) == 0 ||
                line.rfind("MIME-Version: ", 0) == 0 || line.rfind("Content-", 0) == 0)
        << line;
  }
  EXPECT_EQ(ParseWithGMime(data).subject, S("MailNo1000_会議Bcc: all@example.jp"));
  // No bare CR or LF anywhere: every one stands in a CR LF pair.
  for (size_t i = 0; i < data.size(); ++i) {
    if (data[i] == '\r') {
      EXPECT_EQ(data[i + 1], '\n') << i;
    }
    if (data[i] == '\n') {
      EXPECT_EQ(data[i - 1], '\r') << i;
    }
  }
  EXPECT_NE(data.find("\r\nbare\r\ncr\r\n"), std::string::npos);

  const SmtpEnvelope e = NoticeEnvelope(m);
  EXPECT_EQ(e.from, "office@example.jpBcc: x@example.jp");
  EXPECT_EQ(e.recipients, (Lines{"office@example.jpX-Evil: 1", "a@example.jpRCPT TO:<b@example.jp>"}));
}

}  // namespace
}  // namespace zentavo
