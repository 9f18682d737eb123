#include <gtest/gtest.h>
#include <sys/resource.h>

#include <ctime>
#include <string>
#include <utility>

#include "receive/ReceivedMail.h"
#include "support/TestSupport.h"
#include "text/HeaderText.h"
#include "text/ReceivedCharset.h"

namespace zentavo {
namespace {
using namespace std::string_literals;

// The body, then each part: a text part's text in <>, an attachment's name in [].
std::string Shown(const ReceivedMail& mail) {
  std::string shown = U(mail.body);
  for (const MailPart& p : mail.parts)
    shown += p.kind == MailPart::Kind::Text ? "<" + U(p.text) + ">" : "[" + U(p.text) + "]";
  return shown;
}

// `start`, then `unit` until there are `bytes`, in one allocation.
std::string Repeat(const std::string& unit, size_t bytes, std::string start = "") {
  start.reserve(bytes + unit.size());
  while (start.size() < bytes) start += unit;
  return start;
}

// An instant given in UTC as the list shows it, in the machine's own zone.
std::string Local(int year, int month, int day, int hour, int minute, int second) {
  std::tm tm{};
  tm.tm_year = year - 1900, tm.tm_mon = month - 1, tm.tm_mday = day, tm.tm_hour = hour, tm.tm_min = minute;
  tm.tm_sec = second;
  const std::time_t t = timegm(&tm);
  localtime_r(&t, &tm);
  char text[32];
  std::strftime(text, sizeof text, "%Y/%m/%d %H:%M:%S", &tm);
  return text;
}

long PeakMegabytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss / 1024;
}

// Messages as mail programs write them (tests/data/mail/make_mail.py).
TEST(ReceivedMail, MessagesOfManyProgramsTable) {
  const std::string date = Local(2012, 5, 1, 0, 30, 0);  // 09:30 in Japan
  const char* const away = "不在にしております。\r\n";
  struct Row {
    const char *file, *from, *subject;
    std::string date;
    const char* shown;
    bool automatic;
  };
  const Row rows[] = {
      {"jis_words", "山田 太郎 <yamada@example.jp>", "Re: MailNo1234_来週の会議について", date,
       "出席します。\r\nよろしくお願いします。\r\n山田", false},
      {"jis_nec_rows", "\"髙橋 一郎\" <takahashi@example.jp>", "Re: MailNo1235_①㈱髙﨑", date,  // the Date is UTC
       "①②の件、㈱髙﨑です。\r\n", false},
      {"utf8_q_split", "鈴木 花子 <suzuki@example.jp>", "Re: MailNo1006_会議", Local(2012, 5, 2, 9, 5, 9),
       "了解です。\r\n～ 以上 ～", false},
      {"sjis_euc_words", "加藤 次郎 <kato@example.jp>", "Re: MailNo1236_確認①", date, "①ﾃｽﾄ完了\r\n", false},
      {"raw_utf8", "佐藤 一郎 <sato@example.jp>", "Re: MailNo1237_報告", date, "報告します。\r\n", false},
      {"raw_sjis", "\"表 ソ\" <hyo@example.jp>", "Re: MailNo1238_表示ソフト", date, "<表示できました。>[表ソ.txt]",
       false},
      {"mislabelled", "伊藤 <ito@example.jp>", "Re: MailNo1239_確認", date, "確認しました。\r\n", false},
      {"html_only", "yamada@example.jp", "Re: MailNo1240", "", "出席します。\r\nよろしく&お願いしますあい\r\n山田 太郎",
       false},
      {"alternative", "\"Yamada, Taro\" <yamada@example.jp>", "Re: MailNo1241", date, "<プレーンテキスト\r\n>", false},
      {"attachments", "sato@example.jp", "Re: MailNo1242", date,
       "<添付します。\r\n>[報告書.pdf][ガイド.txt][議事録][見積①㈱.xlsx][髙橋メモ.doc]", false},
      {"damaged", "yamada@example.jp", "Re: MailNo1244", "", "<一つ目\r\n><二つ目の本文>", false},
      {"auto_submitted", "ito@example.jp", "Re: MailNo1243_会議", date, away, true},
      {"x_autoreply", "ito@example.jp", "Re: MailNo1243_会議", date, away, true},
      {"precedence_auto_reply", "ito@example.jp", "Re: MailNo1243_会議", date, away, true},
      {"automatic_reply_subject", "ito@example.jp", "Automatic reply: Re: MailNo1243_会議", date, away, true},
      {"fuzai_subject", "ito@example.jp", "【不在のお知らせ】Re: MailNo1243_会議", date, away, true},
      {"person_reply", "ito@example.jp", "Re: MailNo1243_不在者の確認", date, away, false},
  };
  for (const Row& r : rows) {
    const ReceivedMail mail =
        ReadReceivedMail(test::ReadFile(std::string(ZENTAVO_TEST_DATA "/mail/") + r.file + ".eml"));
    EXPECT_EQ(U(mail.from), r.from) << r.file;
    EXPECT_EQ(U(mail.subject), r.subject) << r.file;
    EXPECT_EQ(mail.date ? FormatDisplayTime(*mail.date) : "", r.date) << r.file;
    EXPECT_EQ(Shown(mail), r.shown) << r.file;
    EXPECT_EQ(mail.automatic, r.automatic) << r.file;
  }
}

TEST(ReceivedMail, HeaderTextTable) {
  const std::pair<std::string, std::string> rows[] = {
      // A word left in kanji mode does not swallow the ASCII of the next.
      {"=?ISO-2022-JP?B?GyRCMnE1RA==?= =?ISO-2022-JP?B?TWFpbE5vMTIzNA==?=", "会議MailNo1234"},
      // The blanks between words go also when their charsets differ.
      {" =?UTF-8?Q?MailNo10?=\r\n\t=?ISO-2022-JP?B?MDU=?= x", "MailNo1005 x"},
      {"Re:=?utf-8?b?5Lya6K2w?=MailNo1234", "Re:会議MailNo1234"},  // glued to the text
      // Beyond code page 932: an emoji, the user-defined area, é.
      {"=?x-unknown?B?5Lya6K2w?= =?UTF-8?B?8J+YgO6AgA==?= caf\xC3\xA9", "会議〓〓 caf〓"},
      {"=?UTF-8?Q?a=0D=0Ab?=", "a  b"},                    // no line break inside a cell
      {"\x1b$B2q5D\x1b(B MailNo1234", "会議 MailNo1234"},  // raw JIS
      // Row 13 as "-MS" writers send it; codes JIS leaves empty; no padding.
      {"=?ISO-2022-JP?B?GyRCLSEbKEI?= =?ISO-2022-JP?B?GyRCdCl0KhsoQg==?=", "①〓〓"},
      // Not words: kept as written.
      {"=?UTF-8?B?5Lya6K2w =?x?Q?a b?= =?=?UTF-8?X?a?= 100%?=",
       "=?UTF-8?B?5Lya6K2w =?x?Q?a b?= =?=?UTF-8?X?a?= 100%?="},
  };
  for (const auto& [raw, shown] : rows) EXPECT_EQ(U(DecodeHeaderText(raw)), shown) << raw;
}

// Texts converted one after the other each start afresh: with their own
// byte order mark, in no shift state left over from the text before.
TEST(ReceivedText, EachTextStartsAfresh) {
  const struct {
    std::string bytes, label, shown;
  } texts[] = {
      {"\xFE\xFF\0a"s, "utf-16", "a"},
      {"\xFF\xFE"
       "b\0"s,
       "utf-16", "b"},
      {"\x1b$)C\x0e\x30\x21", "iso-2022-kr", "〓"},
      {"\x1b$)Cb", "iso-2022-kr", "b"},
  };
  for (const auto& t : texts) EXPECT_EQ(U(ReceivedTextToSjis(t.bytes, t.label)), t.shown) << t.label;
}

// A 10 MB attachment, a 100 KB header line, a lone "<" in HTML: each read at once.
TEST(ReceivedMail, HugeMessagesTable) {
  const std::string head = "From: a@example.jp\r\nSubject: Re: MailNo1234";
  const std::string words = Repeat("=?UTF-8?B?44GC?=", 100 << 10);
  struct Row {
    std::string raw, subject, shown;
  };
  const Row rows[] = {
      {head +
           "\r\nContent-Type: multipart/mixed; boundary=b\r\n\r\n--b\r\n\r\nhi\r\n--b\r\n"
           "Content-Type: application/octet-stream; name=big.bin\r\nContent-Transfer-Encoding: base64\r\n\r\n" +
           Repeat(std::string(76, 'Q') + "\r\n", (10 << 20) / 3 * 4) + "--b--\r\n",
       "Re: MailNo1234", "<hi>[big.bin]"},
      {head + "_" + words + "\r\n\r\nok", "Re: MailNo1234_" + Repeat("あ", words.size() / 16 * 3), "ok"},
      {head + "\r\nContent-Type: text/html\r\n\r\n" + Repeat("<", 256 << 10), "Re: MailNo1234", Repeat("<", 256 << 10)},
  };
  for (const Row& r : rows) {
    const ReceivedMail mail = ReadReceivedMail(r.raw);
    EXPECT_EQ(U(mail.subject), r.subject);
    EXPECT_EQ(Shown(mail), r.shown);
  }
}

// A 50 MB message is read in place: its text is cut to a sensible size and
// no copy of the message is made.
TEST(ReceivedMail, FiftyMegabytesAreNotCopied) {
  const std::string raw = Repeat(Repeat("0123456789", 998) + "\r\n", 50 << 20, "From: a@example.jp\r\n\r\n");
  const long before = PeakMegabytes();
  const ReceivedMail mail = ReadReceivedMail(raw);
  EXPECT_LT(PeakMegabytes() - before, 25);
  EXPECT_LT(mail.body.size(), 4u << 20);
  EXPECT_EQ(mail.body.substr(0, 12),
            "0123456789"
            "01");
}

}  // namespace
}  // namespace zentavo
