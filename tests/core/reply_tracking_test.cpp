// Replies written into the recipient logs of the notices they answer, and
// the reply results and status built from a log.
#include <gtest/gtest.h>

#include <map>

#include "app/Lifecycle.h"
#include "receive/ReceivedList.h"
#include "receive/RecordRepliesInLogs.h"
#include "receive/ShowReplyResults.h"
#include "send/TransmissionLogs.h"
#include "support/TestSupport.h"

namespace zentavo {
namespace {
using test::S;
using test::U;
using Lines = std::vector<std::string>;
namespace fs = std::filesystem;

const std::string kHeader = "氏名,メールアドレス,電話番号,返信時間";

struct Reply {
  std::string sender, mailNo, time;
};

Grid ReceivedRows(const std::vector<Reply>& replies) {
  Grid list(6, 2);
  ClearReceivedList(list);
  int row = 0;
  for (const auto& r : replies) {
    list.Cell(kNumberColumn, ++row) = FormatMessageNumber(row);
    list.Cell(kSenderColumn, row) = S(r.sender);
    list.Cell(kStaffColumn, row) = S("○");
    list.Cell(kMailNoColumn, row) = r.mailNo;
    list.Cell(kDateColumn, row) = r.time;
  }
  return list;
}

TEST(ReplyTracking, EachReplyGoesOnceIntoTheNewestLogOfItsMailNo) {
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
      {"20120501 090000_MailNo1234_old", {kHeader, "山田,y@x,1"}, {}},
      {"20120601 090000_MAILNO1234_会議",
       {kHeader, "山田,y@x,1", "佐藤,s@x,2,,memo", "鈴木,z@x,3,2012/06/01 10:00:00 ", "田中,t@x,4"},
       {kHeader, "山田,y@x,1,2012/06/02 08:00:00 ", "佐藤,s@x,2,2012/06/02 08:30:00 memo",
        "鈴木,z@x,3,2012/06/01 10:00:00 ", "田中,t@x,4"}},
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

  const Grid received = ReceivedRows({{"山田", "1234", "2012/06/02 08:00:00"},
                                      {"山田", "1234", "2012/06/02 09:00:00"},  // a second reply does not count
                                      {"佐藤", "1234", "2012/06/02 08:30:00"},
                                      {"鈴木", "1234", "2012/06/02 11:00:00"},  // recorded before
                                      {"山田", "2000", "2012/07/02 08:00:00"},  // into a damaged log
                                      {"田中", "1000", "2012/06/02 08:00:00"},  // no such notice
                                      {"田中", "", "2012/06/02 08:00:00"}});    // an automatic reply
  const RecordedReplies done = RecordRepliesInLogs(folder, "mailno", received);
  EXPECT_EQ(done.recorded, 2);
  ASSERT_EQ(done.partlyRead.size(), 1u);
  EXPECT_EQ(done.partlyRead[0].filename(), LogFilePath(folder, "1_", S(logs[2].key)).filename());
  for (const auto& log : logs) {
    const fs::path file = LogFilePath(folder, "1_", S(log.key));
    if (log.after.empty()) {
      EXPECT_EQ(test::ReadFile(file), bytes[log.key]) << log.key;
    } else {
      EXPECT_EQ(test::Deciphered(file), log.after) << log.key;
    }
  }
  // A later reception never overwrites the first reply.
  EXPECT_EQ(RecordRepliesInLogs(folder, "MailNo", ReceivedRows({{"山田", "1234", "2012/06/03 08:00:00"}})).recorded, 0);
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
       "返信確認　　返信あり：2件　　返信なし：2件",
       "氏名,受信日時\r\n山田,2012/06/02 09:00:00  \r\n田中,\" say \"\"hi\"\"\"\r\n",
       "氏名,電話番号\r\n佐藤,080\r\n鈴木,070\r\n"},
      {{kHeader}, "返信確認　　返信あり：0件　　返信なし：0件", "氏名,受信日時\r\n", "氏名,電話番号\r\n"},
      {{}, "返信確認　　返信あり：0件　　返信なし：0件", "氏名,受信日時\r\n", "氏名,電話番号\r\n"},
  };
  int n = 0;
  for (const auto& c : cases) {
    const std::string key = "2012060" + std::to_string(++n) + " 090000_MailNo1234_x";
    if (!c.log.empty()) test::WriteEnciphered(LogFilePath(folder, "1_", key), c.log);
    Grid results(4, 2);
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
