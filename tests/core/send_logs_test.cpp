#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "app/Lifecycle.h"
#include "send/SplitSend.h"
#include "send/TransmissionLogs.h"
#include "store/Base64.h"
#include "store/LineCipher.h"
#include "store/TextFile.h"
#include "support/TestSupport.h"
#include "text/SjisUnicode.h"

namespace zentavo {
namespace {
using test::S;
using test::U;
using Lines = std::vector<std::string>;
namespace fs = std::filesystem;

const LocalDateTime kNoon{2012, 5, 1, 12, 0, 5, 540};

Lines Deciphered(const fs::path& file) {
  Lines plain;
  for (const auto& line : ReadTextLines(file)) plain.push_back(DecryptLine(line));
  return plain;
}

Lines LogNames(const fs::path& dir) {
  Lines names;
  for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// ---- MailNo -----------------------------------------------------------------

class SendMailNoTest : public ::testing::Test {
 protected:
  SendMailNoTest() : file(dir / "zentavo.ini") {}
  std::string StoredLastMailNo() { return DecryptLine(ReadTextLines(file).at(9)); }
  test::TempFolder dir;
  fs::path file;
  Settings settings;
  SendPage page;
};

TEST_F(SendMailNoTest, FirstNoticeOfAFreshInstallationIs1000) {
  settings.lastMailNo = "999";
  EXPECT_TRUE(AdvanceMailNo(settings, page, file));
  EXPECT_EQ(page.mailNoBox, "1000");
  EXPECT_EQ(settings.lastMailNo, "1000");
  EXPECT_EQ(StoredLastMailNo(), "1000");
  EXPECT_EQ(ReadTextLines(file).size(), 17u);
}

TEST_F(SendMailNoTest, After9999TheNextNoticeGets1000) {
  settings.lastMailNo = "9998";
  AdvanceMailNo(settings, page, file);
  EXPECT_EQ(page.mailNoBox, "1000");
  EXPECT_EQ(settings.lastMailNo, "999");
  EXPECT_EQ(StoredLastMailNo(), "999");
  AdvanceMailNo(settings, page, file);
  EXPECT_EQ(page.mailNoBox, "1000");
  EXPECT_EQ(settings.lastMailNo, "1000");
}

TEST_F(SendMailNoTest, CounterAdvancesEvenWhenTheSettingsFileCannotBeWritten) {
  // A number that went out must never be handed out again.
  settings.lastMailNo = "1200";
  EXPECT_FALSE(AdvanceMailNo(settings, page, dir / "missing" / "zentavo.ini"));
  EXPECT_EQ(page.mailNoBox, "1201");
  EXPECT_EQ(settings.lastMailNo, "1201");
}

TEST_F(SendMailNoTest, NonNumberLeavesEverythingAsItWas) {
  settings.lastMailNo = "12x";
  page.mailNoBox = "1000";
  EXPECT_FALSE(AdvanceMailNo(settings, page, file));
  EXPECT_EQ(settings.lastMailNo, "12x");
  EXPECT_EQ(page.mailNoBox, "1000");
  EXPECT_FALSE(fs::exists(file));
}

// ---- The three logs -----------------------------------------------------------

class SendLogsTest : public ::testing::Test {
 protected:
  SendLogsTest() : folder(dir.path()) {
    CreateDataDirectories(folder);
    recipients.SetHeader({S("氏名"), S("メールアドレス"), S("電話番号")});
  }
  void Row(int r, const std::string& name, const std::string& address, const std::string& phone = "") {
    recipients.Cell(0, r) = S(name);
    recipients.Cell(1, r) = address;
    recipients.Cell(2, r) = phone;
  }
  fs::path Log(const std::string& prefix, const std::string& keyUtf8) {
    return dir.path() / "LOG" / (prefix + keyUtf8);
  }
  test::TempFolder dir;
  DataFolder folder;
  Grid recipients{3, 30};
};

TEST_F(SendLogsTest, NoticeRecipientAndTextLogsOfOneNotice) {
  Row(1, "山田", "yamada@example.jp", "03-1111");
  Row(2, "佐藤", "");  // no address: not addressed, not logged
  Row(3, "鈴木", "suzuki@example.jp");
  Row(4, "", "nameless@example.jp");
  Row(5, "田中", "tanaka@example.jp", "090");
  const Lines body = {S("本日"), " ", "SEND:2012/05/01 12:00:00", " "};
  const std::string key =
      WriteTransmissionLogs(folder, "MailNo", "1234", S("会議"), recipients, body, kNoon);
  EXPECT_EQ(U(key), "20120501 120005_MailNo1234_会議");
  EXPECT_EQ(LogNames(dir.path() / "LOG"),
            (Lines{"0_20120501 120005_MailNo1234_会議", "1_20120501 120005_MailNo1234_会議",
                   "2_20120501 120005_MailNo1234_会議"}));

  // The notice log is the subject's Shift_JIS bytes in Base64, not enciphered.
  EXPECT_EQ(test::ReadFile(Log("0_", U(key))), "ie+LYw==\r\n");
  EXPECT_EQ(Deciphered(Log("1_", U(key))),
            (Lines{S("氏名,メールアドレス,電話番号,返信時間"), S("山田,yamada@example.jp,03-1111"),
                   S("鈴木,suzuki@example.jp,"), S("田中,tanaka@example.jp,090")}));
  EXPECT_EQ(Deciphered(Log("2_", U(key))), body);
}

TEST_F(SendLogsTest, RecipientLogHeaderDoesNotDependOnTheGridHeader) {
  Grid bare(3, 5);
  bare.Cell(0, 1) = S("山田");
  bare.Cell(1, 1) = "y@example.jp";
  EXPECT_EQ(RecipientLogLines(bare),
            (Lines{S("氏名,メールアドレス,電話番号,返信時間"), S("山田,y@example.jp,")}));
}

TEST_F(SendLogsTest, SlashInTheSubjectIsLoggedAsFullWidthSolidus) {
  Row(1, "山田", "y@example.jp");
  const std::string subject = S("4/1 会議 a/b");
  const std::string key = WriteTransmissionLogs(folder, "MailNo", "1000", subject, recipients, {"x"}, kNoon);
  EXPECT_EQ(U(key), "20120501 120005_MailNo1000_4／1 会議 a／b");
  EXPECT_TRUE(fs::exists(Log("1_", U(key))));
  EXPECT_TRUE(fs::exists(Log("2_", U(key))));
  // The notice log keeps the subject as it was typed.
  EXPECT_EQ(DecodeBase64(ReadTextLines(Log("0_", U(key))).at(0)), subject);
}

TEST_F(SendLogsTest, OverLongSubjectIsShortenedInTheNameOnly) {
  Row(1, "山田", "y@example.jp");
  // 120 kanji: 240 bytes in Shift_JIS, 360 in UTF-8; an ASCII tail after them.
  std::string subject;
  for (int i = 0; i < 120; ++i) subject += S(i % 2 ? "議" : "会");
  subject += "tail";
  const std::string key = WriteTransmissionLogs(folder, "MailNo", "1000", subject, recipients, {"x"}, kNoon);
  const std::string name = "0_" + U(key);
  EXPECT_LE(name.size(), MaxLogFileNameBytes());
  EXPECT_LE(MaxLogFileNameBytes(), 255u);
  EXPECT_GT(name.size(), MaxLogFileNameBytes() - 3);  // as much as fits, whole characters only
  EXPECT_EQ(U(key).find("\xEF\xBF\xBD"), std::string::npos);  // no broken character
  const std::string head = S("20120501 120005_MailNo1000_");
  ASSERT_EQ(key.substr(0, head.size()), head);
  EXPECT_EQ(subject.substr(0, key.size() - head.size()), key.substr(head.size()));
  EXPECT_EQ(DecodeBase64(ReadTextLines(Log("0_", U(key))).at(0)), subject);
  EXPECT_EQ(Deciphered(Log("1_", U(key))).size(), 2u);
  EXPECT_EQ(Deciphered(Log("2_", U(key))), Lines{"x"});

  // A subject that fits is left whole.
  EXPECT_EQ(LogFileKey("20120501 120005", "MailNo", "1000", S("会議")), S("20120501 120005_MailNo1000_会議"));
}

TEST_F(SendLogsTest, FirstFileThatCannotBeWrittenStopsTheLogs) {
  fs::remove_all(dir.path() / "LOG");
  EXPECT_THROW(WriteTransmissionLogs(folder, "MailNo", "1000", "s", recipients, {"x"}, kNoon), FileError);
}

// ---- Split sending and the unregistered list ---------------------------------

Grid Addressed(int addressed, int nameOnly = 0) {
  Grid g(3, 30);
  int r = 1;
  for (int i = 0; i < addressed; ++i, ++r) {
    g.Cell(0, r) = "n" + std::to_string(i);
    g.Cell(1, r) = "a" + std::to_string(i) + "@example.jp";
  }
  for (int i = 0; i < nameOnly; ++i, ++r) {
    g.Cell(0, r) = "u" + std::to_string(i);
    g.Cell(2, r) = "tel" + std::to_string(i);
  }
  return g;
}

TEST(SendSplit, VerdictAndBatchCount) {
  SplitVerdict v = MakeSplitVerdict(Addressed(30, 5), 30);
  EXPECT_EQ(v.addressed, 30);
  EXPECT_EQ(v.batchCount, 1);
  EXPECT_EQ(U(v.text), "分割件数以下のため分割無しで送信します。");
  v = MakeSplitVerdict(Addressed(31), 30);
  EXPECT_EQ(v.batchCount, 2);
  EXPECT_EQ(U(v.text), "2分割で送信します。");
  EXPECT_EQ(MakeSplitVerdict(Addressed(65), 30).batchCount, 3);
  EXPECT_EQ(SplitBatchCount(60, 30), 2);
  EXPECT_EQ(SplitBatchCount(0, 30), 1);
  EXPECT_EQ(SplitBatchCount(5, 0), 3);  // a damaged size counts as the minimum, 2
  EXPECT_EQ(SplitGoFlag(true), "ON");
  EXPECT_EQ(SplitGoFlag(false), "OF");
}

TEST(SendSplit, UnregisteredListHoldsNameOnlyRowsUpTo99) {
  Grid g = Addressed(3, 2);
  EXPECT_TRUE(HasUnregistered(g));
  const auto rows = UnregisteredRows(g);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].name, "u0");
  EXPECT_EQ(rows[0].address, "");
  EXPECT_EQ(rows[1].phone, "tel1");

  EXPECT_FALSE(HasUnregistered(Addressed(3)));
  const auto many = UnregisteredRows(Addressed(1, 120));
  ASSERT_EQ(many.size(), 99u);
  EXPECT_EQ(many.back().name, "u98");
}

}  // namespace
}  // namespace zentavo
