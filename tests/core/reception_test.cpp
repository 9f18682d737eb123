// The reception run, fetching one listed message again, deleting listed
// mail and the start-up check, against a mailbox held in memory.
#include <gtest/gtest.h>

#include "history/TransmissionLogs.h"
#include "program/Lifecycle.h"
#include "receive/ReceivedList.h"
#include "receive/ServerMail.h"
#include "receive/StartupCheck.h"
#include "receive/StructuredHeaders.h"
#include "support/ReceiveDoubles.h"
#include "support/SendDoubles.h"

namespace zentavo {
namespace {

std::string Mail(const std::string& from, const std::string& subject, const std::string& body = "hello") {
  return "From: " + from + "\r\nSubject: " + subject + "\r\nDate: Tue, 01 May 2012 09:30:00 +0900\r\n\r\n" + body +
         "\r\n";
}

struct Desk {
  Desk() : folder(dir.path()) {
    CreateDataDirectories(folder);
    settings.popHost = "pop.example.jp";
    settings.user = "office";
    settings.senderAddress = "office@example.jp";
    settings.identifier = "MailNo";
    staff.SetHeader({S("氏名"), S("メールアドレス"), S("電話番号")});
    staff.Cell(0, 1) = S("山田");
    staff.Cell(1, 1) = "yamada@example.jp";
    staff.Cell(0, 2) = S("佐藤");
    staff.Cell(1, 2) = "sato@example.jp";
    server->messages = {Mail("Yamada <YAMADA@example.jp>", "Re: mailno1234_kaigi", "<p>yes</p>\r\n\r\nsee you"),
                        Mail("office@example.jp", "MailNo1234_kaigi"), Mail("shop@example.com", "sale"),
                        Mail("\"sato\" <@example.jp>", "Re: MailNo12ab")};
  }
  ReceptionContext Context(StepRunner& with) {
    return {folder, settings, staff, options, state, op, server, with, [this](bool ok) { results.push_back(ok); }};
  }
  void Receive(StepRunner& with) { RunReception(Context(with)); }
  void Receive() { Receive(runner); }
  // Number, sender, mark and MailNo of every listed row ("|" between).
  Lines Rows() const {
    Lines rows;
    for (int r = 1; r < state.received.RowCount() && !state.received.RowEmpty(r); ++r)
      rows.push_back(U(state.received.Cell(0, r) + "|" + state.received.Cell(1, r) + "|" + state.received.Cell(2, r) +
                       "|" + state.received.Cell(3, r)));
    return rows;
  }

  test::TempFolder dir;
  DataFolder folder;
  Settings settings;
  Grid staff{3, 30};
  ReceptionOptions options;
  ReceptionState state;
  test::RecordingReceptionOperator op;
  std::shared_ptr<test::FakePop3Transport> server = std::make_shared<test::FakePop3Transport>();
  InlineStepRunner runner;
  std::vector<bool> results;
};

class ReceptionTest : public ::testing::Test, public Desk {};

TEST(ReceivedList, RulesOfTheList) {
  EXPECT_EQ(FormatMessageNumber(5), "005");
  EXPECT_EQ(FormatMessageNumber(1234), "1234");
  for (const char* yes : {"1234", " 12", "-7", "$1F", "0x1f", "x10"}) EXPECT_TRUE(IsIntegerText(yes)) << yes;
  for (const char* no : {"", "12ab", "1 2", "0x", "2147483648", "$"}) EXPECT_FALSE(IsIntegerText(no)) << no;
  EXPECT_EQ(FindMailNo("Re: MAILNO1005_x", "MailNo"), "1005");
  EXPECT_EQ(FindMailNo("MailNo12ab", "MailNo"), "");
  EXPECT_EQ(StripTags("<p>word</p>"), "word");
  EXPECT_EQ(StripTags("a < b"), "a < b");
  EXPECT_EQ(StripTags(S("表<b>示</b>")), S("表示"));  // a trail byte is never a bracket
  // A staff address inside another one claims that mail when its row comes first.
  Grid staff(3, 3);
  staff.Cell(0, 1) = "short";
  staff.Cell(1, 1) = "ta@example.jp";
  staff.Cell(0, 2) = "long";
  staff.Cell(1, 2) = "sta@example.jp";
  EXPECT_EQ(ClassifySender("sta@example.jp", "", staff, "").staffRow, 1);
  // Addresses compare as RFC 5322 has them: a quoted local part is the
  // same address unquoted, the domain in any case.
  staff.Cell(1, 2) = "staff20@example.test";
  for (const char* from : {"\"staff20\"@example.test", "Staff <\"staff20\"@EXAMPLE.test>", "staff20@example.test (x)"})
    EXPECT_EQ(ClassifySender(SenderAsShown(from), SenderAddress(from), staff, "").staffRow, 2) << from;
  EXPECT_EQ(ClassifySender("\"staff2\"@example.test", "staff2@example.test", staff, "").kind, Sender::Kind::Other);
  // An automatic reply is marked and never tied to a notice.
  ReceivedMail automatic{.from = "ta@example.jp", .subject = "Re: MailNo1234", .automatic = true};
  Grid list(6, 2);
  const int row = AddReceivedRow(list, 5, automatic, {Sender::Kind::Staff, 1}, staff, {});
  EXPECT_EQ(U(list.Cell(kSubjectColumn, row) + "|" + list.Cell(kMailNoColumn, row)), "【自動応答】Re: MailNo1234|");
}

TEST_F(ReceptionTest, StaffMailIsListedWithNameAndMailNoOtherMailOnlyWhenAsked) {
  settings.lastSeenCount = 9;
  Receive();
  EXPECT_EQ(Rows(), (Lines{"001|山田|○|1234", "002|Zentavo -COPY-|○|1234", "004|佐藤|○|"}));
  EXPECT_EQ(U(state.received.Cell(kDateColumn, 1)), "2012/05/01 09:30:00");
  EXPECT_EQ(state.received.RowCount(), 5);  // one empty row after the last
  EXPECT_TRUE(state.bodyLines.empty());
  EXPECT_EQ(settings.lastSeenCount, 4);
  EXPECT_EQ(server->commands,
            (Lines{"OPEN office", "STAT", "UIDL", "LIST", "RETR 1", "RETR 2", "RETR 3", "RETR 4", "QUIT"}));
  EXPECT_EQ(op.captions, (Lines{"返信メール確認中 0", "返信メール確認中 4", "closed"}));

  options = {.staffBodies = true, .listOthers = true, .otherBodies = false};
  Receive();
  EXPECT_EQ(Rows().at(2), "003|shop@example.com||");
  EXPECT_EQ(U(state.bodyLines.at(0)),
            "[受信]  番号：001  MailNo:1234  FROM:山田  件名:Re: mailno1234_kaigi  受信日時:2012/05/01 09:30:00");
  EXPECT_EQ(Lines(state.bodyLines.begin() + 1, state.bodyLines.begin() + 4),
            (Lines{" ", "      yes", "      see you"}));
  EXPECT_EQ(state.bodyLines.at(4), "*" + std::string(80, '-') + "*");
}

TEST_F(ReceptionTest, UnseenOnlyCancelAndFailure) {
  options.unseenOnly = true;
  settings.lastSeenCount = 3;
  Receive();
  EXPECT_EQ(Rows(), Lines{"004|佐藤|○|"});
  settings.lastSeenCount = 7;  // beyond the mailbox (another program emptied it)
  Receive();
  EXPECT_TRUE(Rows().empty());

  // "停止" during a run: the message being fetched is the last; the rest of
  // the run (QUIT) goes on, and only what was read counts as seen.
  options.unseenOnly = false;
  settings.lastSeenCount = 0;
  test::HeldRunner held;
  Receive(held);
  held.ReleaseOne();  // logged in
  held.ReleaseOne();  // counted
  held.ReleaseOne();  // message 1
  Receive(held);      // a timer tick meanwhile starts nothing
  state.cancel = true;
  held.ReleaseAll();
  EXPECT_EQ(Rows().size(), 2u);
  EXPECT_EQ(server->commands.back(), "QUIT");
  EXPECT_EQ(settings.lastSeenCount, 2);

  server->failOn = "RETR 3";
  settings.lastSeenCount = 1;
  Receive();
  EXPECT_EQ(Rows().size(), 2u);  // what was listed stays
  EXPECT_EQ(settings.lastSeenCount, 1);
  EXPECT_EQ(op.script.Texts().back(), "受信メール確認中にエラーが発生しました");
  EXPECT_NE(op.script.messages.back().detail.find("RETR 3"), std::string::npos);
  EXPECT_EQ(results, (std::vector<bool>{true, true, true, false}));

  // Continuous reception of unseen mail marks nothing until it ends; then
  // only what its latest run read.
  server->failOn.clear();
  options = {.unseenOnly = true, .continuous = true};
  Receive();
  EXPECT_EQ(Rows().size(), 2u);  // 2 and 4, as every run until it ends
  EXPECT_EQ(settings.lastSeenCount, 1);
  state.read = {2};
  EndReceptionMarking(settings, folder, state);
  EXPECT_EQ(settings.lastSeenCount, 2);
}

// A server that takes commands in a pipeline is asked ahead; "停止" asks for
// no more, QUIT comes after what was asked for, and only what the run read
// is listed and seen.
TEST_F(ReceptionTest, StopInAPipelineListsOnlyWhatWasRead) {
  server->window = 2;
  test::HeldRunner held;
  Receive(held);
  for (int step = 0; step < 3; ++step) held.ReleaseOne();  // logged in, counted, message 1
  state.cancel = true;                                     // while message 2 is on its way
  held.ReleaseAll();
  EXPECT_EQ(server->commands, (Lines{"OPEN office", "STAT", "UIDL", "LIST", "RETR 1", "RETR 2", "RETR 3", "QUIT"}));
  EXPECT_EQ(Rows(), (Lines{"001|山田|○|1234", "002|Zentavo -COPY-|○|1234"}));
  EXPECT_EQ(settings.lastSeenCount, 2);
}

// Where the server keeps unique ids, what was read is known by them: a new
// message that the server numbers among the old ones is still new.
TEST_F(ReceptionTest, UnseenByUniqueIds) {
  server->ids = {"a", "b", "c", "d"};
  options.unseenOnly = true;
  settings.lastSeenCount = 2;  // from before ids were kept: 1 and 2 were read
  Receive();
  EXPECT_EQ(Rows(), Lines{"004|佐藤|○|"});
  EXPECT_EQ(settings.seen.ids, (std::set<std::string>{"a", "b", "c", "d"}));
  server->messages.insert(server->messages.begin() + 1, Mail("sato@example.jp", "Re: MailNo1234"));
  server->ids.insert(server->ids.begin() + 1, "new");
  Receive();
  EXPECT_EQ(Rows(), Lines{"002|佐藤|○|1234"});
  SeenMail stored;
  LoadSeenMail(folder.SeenMailFile(), stored);
  EXPECT_EQ(stored, settings.seen);
}

TEST_F(ReceptionTest, DeletionsKeepTheServersNumbering) {
  server->window = 64;  // the DELEs asked for ahead
  options.listOthers = true;
  server->messages.push_back(Mail("x@example.com", "five"));
  Receive();
  DeleteServerMail(Context(runner), Deletion::Staff);  // 1, 2 and 4 go
  EXPECT_EQ(Rows(), (Lines{"001|shop@example.com||", "002|x@example.com||"}));
  EXPECT_EQ(settings.lastSeenCount, 2);
  EXPECT_EQ(server->messages.size(), 2u);

  // A list that does not hold every message: the rows still follow the server.
  server->messages = {Mail("a@x", "1"), Mail("b@x", "2"), Mail("c@x", "3"), Mail("d@x", "4")};
  settings.lastSeenCount = 2;
  options.unseenOnly = true;
  Receive();
  DeleteServerMail(Context(runner), Deletion::Selected, {1, 3});  // row 3 has no number
  EXPECT_EQ(Rows(), Lines{"003|d@x||"});
  EXPECT_EQ(settings.lastSeenCount, 3);
  EXPECT_EQ(server->commands.back(), "QUIT");

  server->failOn = "DELE 3";
  DeleteServerMail(Context(runner), Deletion::All);
  EXPECT_EQ(Rows(), Lines{"003|d@x||"});  // left as it was
  EXPECT_EQ(op.script.Texts().back(), "職員メール削除中にエラーが発生しました\r「受信確認」で確認してください");
  server->failOn.clear();
  DeleteServerMail(Context(runner), Deletion::All);
  EXPECT_TRUE(Rows().empty());
  EXPECT_EQ(settings.lastSeenCount, 2);
}

// Another client removes message 1 after the list was made: the numbers of
// the list no longer name the same mail. By unique ids the chosen mail is
// found and deleted; without them nothing is deleted.
TEST_F(ReceptionTest, DeletionFindsTheListedMailAgainOrRefuses) {
  options.listOthers = true;
  for (const bool ids : {true, false}) {
    SCOPED_TRACE(ids ? "UIDL" : "no UIDL");
    server->messages.resize(4);
    server->messages[0] = Mail("Yamada <yamada@example.jp>", "Re: MailNo1234_kaigi");
    server->ids = ids ? Lines{"a", "b", "c", "d"} : Lines{};
    Receive();
    server->commands.clear();
    server->messages.erase(server->messages.begin());
    if (ids) server->ids.erase(server->ids.begin());
    DeleteServerMail(Context(runner), Deletion::Selected, {1, 3});  // 山田's, gone; the shop's
    if (ids) {
      EXPECT_EQ(Rows(), (Lines{"001|Zentavo -COPY-|○|1234", "002|佐藤|○|"}));
      EXPECT_EQ(server->messages.size(), 2u);
      EXPECT_EQ(op.script.Texts().back(),
                "選択したメールのうち1件は既にサーバにないため削除しませんでした\r「受信確認」で確認してください");
    } else {
      EXPECT_EQ(Rows().size(), 4u);
      EXPECT_EQ(server->messages.size(), 3u);
      EXPECT_EQ(std::count(server->commands.begin(), server->commands.end(), "DELE 2"), 0);
      EXPECT_EQ(op.script.Texts().back().find("受信一覧を作成した後にサーバのメールが変わっている"), 0u);
    }
  }
}

TEST_F(ReceptionTest, FetchingOneListedMessageShowsItsBody) {
  Receive();
  RetrieveSelectedMessage(Context(runner), 1);
  EXPECT_EQ(server->commands.back(), "QUIT");
  EXPECT_EQ(state.bodyLines.size(), 4u);  // no closing rule
  EXPECT_EQ(op.captions.at(op.captions.size() - 2), "返信メール受信中 10");
}

TEST_F(ReceptionTest, StartupCheckListsRecordsAndDeletesRepliesOnYes) {
  settings.identifier = "mailno";
  const auto log = LogFilePath(folder, "1_", "20120501 090000_MailNo1234_kaigi");
  test::WriteEnciphered(log, {"h", "山田,yamada@example.jp,1"});
  op.script.answers = {MsgAnswer::No, MsgAnswer::Yes};
  CheckRepliesAtStartup(Context(runner));
  EXPECT_EQ(U(state.received.Cell(kStartupMailNoColumn, 2)), "12ab");  // taken as it stands
  EXPECT_EQ(state.received.Cell(kStartupNumberColumn, 2), "4");
  // Recorded before the question, whatever the answer.
  EXPECT_EQ(test::Deciphered(log).at(1), "山田,yamada@example.jp,1,2012/05/01 09:30:00 ");
  CheckRepliesAtStartup(Context(runner));
  EXPECT_EQ(server->messages.size(), 2u);  // 1 and 4 deleted on the second "Yes"; the own copy stays
  EXPECT_EQ(settings.lastSeenCount, 0);
  settings.popHost.clear();
  CheckRepliesAtStartup(Context(runner));
  EXPECT_EQ(op.script.Texts().back(), "メール設定を確認してください");
}

}  // namespace
}  // namespace zentavo
