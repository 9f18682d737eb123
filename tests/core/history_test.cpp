// The history of sent notices: the list with reply rates, a notice shown or
// deleted, a new notice or a reminder from it, a reply registered by hand.
#include <gtest/gtest.h>

#include "history/DeleteHistory.h"
#include "history/DeliveryRecord.h"
#include "history/PrepareFollowUp.h"
#include "history/PrepareResend.h"
#include "history/RefreshHistoryList.h"
#include "history/ReplyLogs.h"
#include "history/ShowHistoryEntry.h"
#include "history/TransmissionLogs.h"
#include "program/Lifecycle.h"
#include "receive/RegisterReply.h"
#include "support/TestSupport.h"

namespace zentavo {
namespace {

class HistoryTest : public ::testing::Test {
 protected:
  HistoryTest() : folder(dir.path()) { CreateDataDirectories(folder); }
  // Notice `no` (identifier and MailNo) of day `day` of May 2012 to `names`.
  std::string Notice(std::string no, int day, std::string subject, Lines names, Lines body = {"本日"}) {
    Grid to(3, 30);
    for (size_t i = 0; i < names.size(); ++i) to.rows.at(i + 1) = {S(names[i]), "a" + std::to_string(i) + "@x", "t"};
    for (auto& line : body) line = S(line);
    return WriteTransmissionLogs(folder, no.substr(0, 6), no.substr(6), S(subject), to, body, {2012, 5, day, 9});
  }
  Lines Listed() {
    Lines listed;
    for (const auto& e : RefreshHistoryList(folder))
      listed.push_back(U(e.key) + (e.rate ? " " + FormatReplyRate(*e.rate) : ""));
    return listed;
  }
  fs::path Log(const char* prefix, const std::string& key) { return LogFilePath(folder, prefix, key); }
  void Damage(const std::string& key) { test::WriteFile(Log("1_", key), test::ReadFile(Log("1_", key)) + "AAAA\r\n"); }

  test::TempFolder dir;
  DataFolder folder;
  test::ScriptedOperator op;
};

TEST_F(HistoryTest, NewestFirstWithReplyRatesAndRepliesRegisteredByHand) {
  const std::string older = Notice("mailno1000", 1, "a", {"山田", "佐藤"});
  Notice("MailNo1001", 1, "b", {"山田"});  // the same second: the rest decides, letter case aside
  fs::remove(Log("1_", Notice("MailNo1002", 2, "c", {})));
  test::WriteFile(Log("0_", "20130101 000000_MailNo1003_z.~zt3.tmp"), "");  // an interrupted write
  const Lines listed = {"20120502 090000_MailNo1002_c", "20120501 090000_MailNo1001_b 0/1",
                        "20120501 090000_mailno1000_a 0/2"};
  EXPECT_EQ(Listed(), listed);
  EXPECT_EQ(Listed(), listed);  // from the kept counts this time
  test::WriteEnciphered(Log("1_", "bad"), {"h", "山田,a0@x,t"});
  Damage("bad");
  const std::string damaged = test::ReadFile(Log("1_", "bad"));
  const struct {
    Registration outcome;
    std::string sender, subject, key, message;
  } rows[] = {{Registration::Registered, "山田", "Re", older, "伝達履歴に登録しました"},
              {Registration::AlreadyRegistered, "山田", "Re", older, "既に伝達履歴に登録済みです"},
              {Registration::NotARecipient, "田中", "Re", older, "選択した伝達履歴に送信者が登録されていません\r別の"},
              {Registration::NotAReply, "Zentavo -COPY-", "Re", older, ""},
              {Registration::NotAReply, "佐藤", "【自動応答】Re", older, ""},
              {Registration::NotWritten, "山田", "Re", "bad", "次のファイルは途中までしか読み込めませんでした。"}};
  Grid received(6, 8);
  for (int r = 1; const auto& row : rows) {
    received.rows.at(r) = {"001", S(row.sender), S("○"), "", S(row.subject), "2012/05/03 10:00:00"};
    op.messages.clear();
    EXPECT_EQ(RegisterReply(folder, row.key, received, r++, op), row.outcome) << row.sender;
    EXPECT_EQ(op.Texts().empty() ? "" : op.Texts()[0].substr(0, row.message.size()), row.message);
  }
  EXPECT_EQ(test::Deciphered(Log("1_", older)).at(1), "山田,a0@x,t,2012/05/03 10:00:00 ");
  EXPECT_EQ(test::ReadFile(Log("1_", "bad")), damaged);
  EXPECT_EQ(Listed().at(2), "20120501 090000_mailno1000_a 1/2");  // the changed log counted again
}

TEST_F(HistoryTest, ShowingAndDeletingNotices) {
  Lines keys;  // subjects that a file pattern would take for wildcards
  for (const char* subject : {"a", "a*", "[a]", "a?"}) keys.push_back(Notice("MailNo1000", 1, subject, {"山田"}));
  Grid grid(kResultColumns, 2);
  Lines text;
  ShowHistoryEntry(folder, keys[0], grid, text, op);
  EXPECT_EQ(U(grid.Cell(0, 1) + grid.Cell(3, 1) + text.at(0)), "山田 本日");
  DeleteHistoryEntries(folder, {keys[0], keys[1], keys[2]});
  EXPECT_EQ(test::FileNames(dir / "LOG"), (Lines{"0_" + U(keys[3]), "1_" + U(keys[3]), "2_" + U(keys[3])}));
  ShowHistoryEntry(folder, keys[0], grid, text, op);  // gone meanwhile
  EXPECT_EQ(op.Texts(), (Lines{"伝達職員の読込に失敗しました", "伝達内容の読込に失敗しました"}));
  Listed();
  DeleteAllLogs(folder);  // the kept counts go too
  EXPECT_TRUE(test::FileNames(dir / "LOG").empty());
}

TEST_F(HistoryTest, ANewNoticeOrAReminderFromAnOldOne) {
  const std::string key = Notice("MailNo1005", 5, "4/1 会議", {"山田", "佐藤", "鈴木"},
                                 {"集合", " ", "SEND:x", " ", "SEND:2012/05/05 09:00:00", " ", "≪本メールの同報伝達者≫",
                                  "山田", "≪本メールの伝達グループ名≫", "総務"});
  test::WriteEnciphered(Log("1_", key), {"h", "山田,a0@x,t", "佐藤,a1@x,t,2012/05/05 10:00:00 ", "鈴木,a2@x,t"});
  SendPage page{.group = "g", .subject = "s", .body = {"b"}};
  Grid to(3, 2);
  Lines text;
  // 鈴木's mail came back: the reminder leaves him out and says so.
  SaveDeliveryRecord(DeliveryRecordPath(folder, key), {"MailNo", "1005", {}, {{"A2@x", "5.1.1", "t", "unknown"}}});
  EXPECT_TRUE(PrepareResend(folder, key, page, to, text, op));
  EXPECT_EQ(
      U(page.group + page.subject + to.Cell(0, 1) + to.Cell(0, 3) + text.at(9)) + std::to_string(page.body.size()),
      "山田鈴木総務0");
  EXPECT_EQ(PrepareFollowUp(folder, key, page, to, op), FollowUp::Prepared);
  EXPECT_EQ(U(page.subject + "|" + page.group + "|" + to.Cell(0, 1) + to.Cell(0, 2) + to.Cell(0, 3)),
            "【再通知】4/1 会議|総務|山田");
  EXPECT_EQ(page.body, (Lines{S("集合"), " ", "SEND:x"}));  // the operator's text, up to the last stamp
  EXPECT_EQ(SplitNoticeText({"x", " ", "SEND:1", " ", S("≪本メールの伝達グループ名≫"), S("個別伝達")}).group, "");
  test::WriteEnciphered(Log("1_", key), {"h", "山田,a0@x,t,2012/05/05 10:00:00 "});
  EXPECT_EQ(PrepareFollowUp(folder, key, page, to, op), FollowUp::EveryoneReplied);
  Damage(key);
  EXPECT_EQ(PrepareFollowUp(folder, key, page, to, op), FollowUp::Unreadable);
  EXPECT_FALSE(PrepareResend(folder, key, page, to, text, op));
  EXPECT_EQ(op.Texts(), (Lines{"不達の職員1名は再通知の宛先に含めません\r鈴木 <a2@x>", "未返信の職員はいません",
                               "招集職員の読込に失敗しました", "招集職員の読込に失敗しました"}));
  EXPECT_EQ(to.Cell(0, 1), "");  // none rather than a part of them
}

}  // namespace
}  // namespace zentavo
