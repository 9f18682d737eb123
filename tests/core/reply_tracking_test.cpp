// Replies written into the recipient logs of the notices they answer, and
// the reply results and status built from a log.
#include <gtest/gtest.h>

#include <map>

#include "history/RecordRepliesInLogs.h"
#include "history/ReplyLogs.h"
#include "history/ShowReplyResults.h"
#include "history/TransmissionLogs.h"
#include "program/Lifecycle.h"
#include "receive/ReceivedList.h"
#include "support/TestSupport.h"

namespace zentavo {
namespace {

const std::string kHeader = "氏名,メールアドレス,電話番号,返信時間";

FoundReply Reply(const std::string& name, const std::string& address, const std::string& mailNo,
                 const std::string& time, const std::string& key = "") {
  return {S(name), address, mailNo, S(key), time};
}

// Each reply goes once into the log of the notice it answers: the one its
// thread named, else the newest whose own identifier and MailNo field (not
// its subject) carries the number; the line of the sender's address, else
// the first unreplied line of the name. A report marks its recipient.
TEST(ReplyTracking, EachReplyGoesOnceIntoItsNoticeOnTheSendersLine) {
  test::TempFolder dir;
  // The folder's own name holds an identifier and a number: only file names count.
  DataFolder folder(dir / "MailNo1000");
  fs::create_directory(folder.Root());
  CreateDataDirectories(folder);
  const struct {
    std::string key;
    Lines before, after;  // after empty: left byte for byte as it was
    bool damaged = false;
  } logs[] = {
      {"20120501 090000_MailNo1234_old",
       {kHeader, "山田,y@x,1", "佐藤,s@x,2"},
       {kHeader, "山田,y@x,1,2012/06/05 08:00:00 ", "佐藤,s@x,2"}},
      {"20120601 090000_MAILNO1234_会議",
       {kHeader, "山田,y@x,1", "佐藤,s@x,2,,memo", "鈴木,z@x,3,2012/06/01 10:00:00 ", "田中,t1@x,4", "田中,t2@x,5"},
       {kHeader, "山田,y@x,1,2012/06/02 08:00:00 ", "佐藤,s@x,2,2012/06/02 08:30:00 memo",
        "鈴木,z@x,3,2012/06/01 10:00:00 ", "田中,t1@x,4", "田中,t2@x,5,2012/06/02 09:30:00 "}},
      // Newer, and its subject holds the other notice's number.
      {"20120701 090000_MailNo1300_MailNo1234の訂正", {kHeader, "山田,y@x,1", "田中,t2@x,5"}, {}},
      {"20120401 090000_MailNo2000_x", {kHeader, "山田,y@x,1", "佐藤,s@x,2"}, {}, true},
  };
  std::map<std::string, std::string> bytes;
  for (const auto& log : logs) {
    const fs::path file = LogFilePath(folder, "1_", S(log.key));
    test::WriteEnciphered(file, log.before);
    if (log.damaged) test::WriteFile(file, test::ReadFile(file) + "AAAA\r\n");
    bytes[log.key] = test::ReadFile(file);
  }
  // An interrupted rewrite of the newest log left this beside it.
  test::WriteFile(LogFilePath(folder, "1_", S("20120601 090000_MAILNO1234_会議.~zt7.tmp")), "AAAA\r\n");

  FoundMail found;
  found.replies = {Reply("山田", "y@x", "1234", "2012/06/02 08:00:00"),
                   Reply("山田", "y@x", "1234", "2012/06/02 09:00:00"),           // a second reply does not count
                   Reply("佐藤", "sato.home@x", "1234", "2012/06/02 08:30:00"),   // another address: by name
                   Reply("鈴木", "z@x", "1234", "2012/06/02 11:00:00"),           // recorded before
                   Reply("田中", "t2@x", "1234", "2012/06/02 09:30:00"),          // the other 田中 stays
                   Reply("山田", "y@x", "", "2012/06/05 08:00:00", logs[0].key),  // tied by its thread
                   Reply("山田", "y@x", "2000", "2012/07/02 08:00:00"),           // into a damaged log
                   Reply("田中", "t1@x", "1000", "2012/06/02 08:00:00")};         // no such notice
  found.bounces = {{"T1@X", "1234", "", "5.1.1", S("ユーザ不明"), "2012/06/02 08:10:00"},
                   {"nobody@x", "1234", "", "5.1.1", "", "2012/06/02 08:10:00"}};  // no recipient of it
  const RecordedReplies done = RecordRepliesInLogs(folder, "mailno", found);
  EXPECT_EQ(done.recorded, 4);
  EXPECT_EQ(done.undelivered, 1);
  ASSERT_EQ(done.partlyRead.size(), 1u);
  EXPECT_EQ(done.partlyRead[0].filename(), LogFilePath(folder, "1_", S(logs[3].key)).filename());
  for (const auto& log : logs) {
    const fs::path file = LogFilePath(folder, "1_", S(log.key));
    if (log.after.empty()) {
      EXPECT_EQ(test::ReadFile(file), bytes[log.key]) << log.key;
    } else {
      EXPECT_EQ(test::Deciphered(file), log.after) << log.key;
    }
  }
  // A later reception never overwrites the first reply, nor marks again.
  EXPECT_EQ(RecordRepliesInLogs(folder, "MailNo", found).recorded, 0);
  EXPECT_EQ(RecordRepliesInLogs(folder, "MailNo", found).undelivered, 0);

  Grid results(kResultColumns, 2);
  ShowReplyResults(folder, S(logs[1].key), results);
  EXPECT_EQ(U(results.Cell(kResultStatus, 4) + "|" + results.Cell(kResultReason, 4)), "不達|5.1.1 ユーザ不明");
  EXPECT_EQ(U(ShowReplyStatus(S(logs[1].key), results).countLine),
            "返信確認　　返信あり：4件　　返信なし：0件　　不達：1件");
}

TEST(ReplyTracking, StatusCountsAndCsvOfTheResultList) {
  test::TempFolder dir;
  DataFolder folder(dir.path());
  CreateDataDirectories(folder);
  const struct {
    Lines log;  // none: no log at all
    std::string count, replied, notReplied;
  } cases[] = {
      {{kHeader, "山田,y@x,090,2012/06/02 09:00:00 ", "佐藤,s@x,080", "鈴木,z@x,070,,", "田中,t@x,060,,say \"hi\""},
       "返信確認　　返信あり：2件　　返信なし：2件　　不達：0件",
       "氏名,受信日時,状態\r\n山田,2012/06/02 09:00:00  ,返信あり\r\n田中,\" say \"\"hi\"\"\",返信あり\r\n",
       "氏名,電話番号,状態\r\n佐藤,080,返信なし\r\n鈴木,070,返信なし\r\n"},
      {{kHeader},
       "返信確認　　返信あり：0件　　返信なし：0件　　不達：0件",
       "氏名,受信日時,状態\r\n",
       "氏名,電話番号,状態\r\n"},
      {{},
       "返信確認　　返信あり：0件　　返信なし：0件　　不達：0件",
       "氏名,受信日時,状態\r\n",
       "氏名,電話番号,状態\r\n"},
  };
  int n = 0;
  for (const auto& c : cases) {
    const std::string key = "2012060" + std::to_string(++n) + " 090000_MailNo1234_x";
    if (!c.log.empty()) test::WriteEnciphered(LogFilePath(folder, "1_", key), c.log);
    Grid results(kResultColumns, 2);
    results.Cell(0, 5) = "left from before";
    EXPECT_EQ(ShowReplyResults(folder, key, results), c.log.empty() ? ReadResult::Missing : ReadResult::Whole);
    EXPECT_EQ(results.RowCount(), std::max<int>(2, c.log.size())) << key;  // no empty row after the last
    const ReplyStatus status = ShowReplyStatus(key, results);
    EXPECT_EQ(U(status.title), "<履歴> " + key);
    EXPECT_EQ(U(status.countLine), c.count);
    EXPECT_EQ(U(status.repliedCsv), c.replied);
    EXPECT_EQ(U(status.notRepliedCsv), c.notReplied);
  }
}

}  // namespace
}  // namespace zentavo
