// The three logs of a notice and their names, and the split and
// unregistered lists computed from the recipient grid.
#include <gtest/gtest.h>

#include "base/Base64.h"
#include "history/TransmissionLogs.h"
#include "program/Lifecycle.h"
#include "send/SplitSend.h"
#include "store/TextFile.h"
#include "support/TestSupport.h"

namespace zentavo {
namespace {

const LocalDateTime kNoon{2012, 5, 1, 12, 0, 5, 540};

Grid Recipients(int addressed, int nameOnly = 0) {
  Grid g(3, 30);
  g.SetHeader({S("氏名"), S("メールアドレス"), S("電話番号")});
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

TEST(SendLogs, NamesAndContentsOfOneNotice) {
  test::TempFolder dir;
  DataFolder folder(dir.path());
  CreateDataDirectories(folder);
  Grid recipients = Recipients(2, 1);
  recipients.Cell(1, 9) = "nameless@example.jp";  // an address without a name: not logged
  const std::string key =
      WriteTransmissionLogs(folder, "MailNo", "1234", S("4/1 会議"), recipients, {S("本日")}, kNoon);
  EXPECT_EQ(U(key), "20120501 120005_MailNo1234_4／1 会議");  // "/" cannot stand in a file name
  EXPECT_EQ(test::FileNames(dir / "LOG"), (Lines{"0_" + U(key), "1_" + U(key), "2_" + U(key)}));
  // The notice log is the subject as typed, in Base64 of its Shift_JIS, not enciphered.
  EXPECT_EQ(DecodeBase64(ReadTextLines(dir / "LOG" / ("0_" + U(key))).at(0)), S("4/1 会議"));
  EXPECT_EQ(test::Deciphered(dir / "LOG" / ("1_" + U(key))),
            (Lines{"氏名,メールアドレス,電話番号,返信時間", "n0,a0@example.jp,", "n1,a1@example.jp,"}));
  EXPECT_EQ(test::Deciphered(dir / "LOG" / ("2_" + U(key))), Lines{"本日"});
  RemoveTransmissionLogs(folder, key);
  EXPECT_TRUE(test::FileNames(dir / "LOG").empty());
}

TEST(SendLogs, AnOverlongSubjectIsShortenedInTheNameOnlyAtACharacterBoundary) {
  std::string subject;
  for (int i = 0; i < 120; ++i) subject += S(i % 2 ? "議" : "会");  // 360 bytes in UTF-8
  const std::string key = LogFileKey("20120501 120005", "MailNo", "1000", subject + "tail");
  const std::string name = "0_" + U(key);
  EXPECT_LE(name.size(), MaxLogFileNameBytes());
  EXPECT_GT(name.size(), MaxLogFileNameBytes() - 3);
  EXPECT_EQ(U(key).find("\xEF\xBF\xBD"), std::string::npos);  // no broken character
  EXPECT_EQ(key.rfind(S("20120501 120005_MailNo1000_会議"), 0), 0u);
}

TEST(SendSplit, VerdictBatchCountAndUnregisteredRows) {
  const struct {
    int addressed, size, batches;
    std::string text;
  } cases[] = {{30, 30, 1, "分割件数以下のため分割無しで送信します。"},
               {31, 30, 2, "2分割で送信します。"},
               {65, 30, 3, "3分割で送信します。"},
               {5, 0, 3, "3分割で送信します。"}};  // a damaged size counts as the minimum, 2
  for (const auto& c : cases) {
    const SplitVerdict v = MakeSplitVerdict(Recipients(c.addressed, 5), c.size);
    EXPECT_EQ(v.batchCount, c.batches) << c.addressed;
    EXPECT_EQ(U(v.text), c.text);
  }
  EXPECT_FALSE(HasUnregistered(Recipients(3)));
  const auto rows = UnregisteredRows(Recipients(1, 120));
  ASSERT_EQ(rows.size(), 99u);
  EXPECT_EQ(rows.back().name + "|" + rows.back().address + "|" + rows.back().phone, "u98||tel98");
}

}  // namespace
}  // namespace zentavo
