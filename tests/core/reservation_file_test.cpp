// Reservation files as stored (byte for byte, also as older installations
// wrote them) and the editor's list and bookings over them.
#include <gtest/gtest.h>

#include "program/Lifecycle.h"
#include "reserve/ReservationEditor.h"
#include "store/LineCipher.h"
#include "store/TextFile.h"
#include "support/TestSupport.h"

namespace zentavo {
namespace {

const LocalDateTime kNow{2024, 3, 15, 9, 5, 7, 540};

Lines Utf8(const Lines& sjis) {
  Lines out;
  for (const auto& line : sjis) out.push_back(U(line));
  return out;
}

TEST(ReservationFile, NamesRecordsAndResults) {
  EXPECT_EQ(ReservationFileName("2024/03/15", "09:05:07"), "20240315 090507");
  EXPECT_EQ(ReservationFileName(DateText(kNow), TimeText(kNow)), "20240315 090507");
  for (auto [date, time] : {std::pair{"2024/3/15", "09:05:07"},
                            {"2024/03/15", "9:05:07"},
                            {"../../../x", "09:05:07"},
                            {"2024-03-15", "09:05:07"},
                            {"", ""}}) {
    EXPECT_EQ(ReservationFileName(date, time), "") << date << " " << time;
  }

  const struct {
    const char* line;
    Record record;
  } splits[] = {
      {"A0,2024/03/15,09:05:07", {"A0", {"2024/03/15", "09:05:07", "", ""}}},
      {"B1,a,b,c,d,e,f", {"B1", {"a", "b", "c", "d"}}},
      {"X0,送信済,", {"X0", {"送信済", "", "", ""}}},
      {"C1,", {"C1", {"", "", "", ""}}},
      {"", {"", {"", "", "", ""}}},
  };
  for (const auto& s : splits) {
    Record r = SplitRecord(S(s.line));
    EXPECT_EQ(U(r.tag), s.record.tag) << s.line;
    for (int i = 0; i < 4; ++i) EXPECT_EQ(U(r.values[i]), s.record.values[i]) << s.line;
  }

  // Written by the program: one record per line, empty names left out,
  // an empty body line as "C1,"; values with commas come back whole.
  Reservation r;
  r.scheduled = true;
  r.date = "2024/03/15";
  r.time = "09:05:07";
  r.group = S("総務,庶務");
  r.recipients = {
      {S("山田"), "y@x.jp", "03-1,2"}, {"", "nobody@x.jp", ""}, {S("鈴木"), "", ""}, {S("佐藤"), "s@x.jp", ""}};
  r.identifier = "MailNo";
  r.mailNo = "1042";
  r.subject = S("会議,資料");
  r.body = {S("本日,十時"), "", S("以上")};
  r.copyToSelf = true;
  r.appendNames = true;
  test::TempFolder dir;
  WriteReservationFile(dir / "r", r);
  EXPECT_EQ(test::Deciphered(dir / "r"),
            (Lines{"A0,2024/03/15,09:05:07", "B0,総務,庶務", "B1,山田,y@x.jp,03-1,2", "B1,鈴木,,", "B1,佐藤,s@x.jp,",
                   "C0,MailNo,1042,会議,資料", "C1,本日,十時", "C1,", "C1,以上", "D0,1,0,1"}));
  EXPECT_EQ(ReadTextLines(dir / "r").front(), EncryptLine("A0,2024/03/15,09:05:07"));
  Reservation back = ParseReservation(ReadReservationFile(dir / "r").lines);
  r.recipients.erase(r.recipients.begin() + 1);
  EXPECT_EQ(back.recipients, r.recipients);
  EXPECT_EQ(std::tie(back.group, back.subject, back.body), std::tie(r.group, r.subject, r.body));
  EXPECT_EQ(std::tuple(back.copyToSelf, back.appendGroup, back.appendNames), std::tuple(true, false, true));

  // A file as older installations leave it: two result pairs (the last
  // counts), an option only on when exactly "1", unknown tags ignored.
  test::WriteEnciphered(dir / "old", {"A0,2024/03/15,09:05:07", "B0,総務", "Z9,x", "C0,MailNo,1105,定例", "D0,1,on,0",
                                      "X0,未送信,", "X1,2024/03/15 09:05:08　送信中にエラーが発生しました",
                                      "X0,送信済,", "X1,2024/03/15 09:05:09　正常に送信しました"});
  Reservation old = ParseReservation(ReadReservationFile(dir / "old").lines);
  EXPECT_EQ(std::tuple(U(old.resultStatus), U(old.resultDetail), old.appendGroup),
            std::tuple("送信済", "2024/03/15 09:05:09　正常に送信しました", false));
  EXPECT_EQ(Utf8(ResultPair(SentStatus(), S("　正常に送信しました"), {2024, 3, 15, 9, 5, 8})),
            (Lines{"X0,送信済,", "X1,2024/03/15 09:05:08　正常に送信しました"}));

  // The current second has passed; a result always shows as stored.
  const struct {
    const char *date, *time, *status, *shownStatus, *shownDetail;
  } shown[] = {
      {"2024/03/14", "23:59:59", "", "未処理", "予約日が既に経過しました"},
      {"2024/03/15", "09:05:07", "", "未処理", "予約時間が既に経過しました"},
      {"2024/03/15", "09:05:08", "", "", ""},
      {"2024/03/14", "10:00:00", "送信済", "送信済", "d"},
  };
  for (const auto& s : shown) {
    const ShownResultText t = ShownResult(s.date, s.time, S(s.status), "d", kNow);
    EXPECT_EQ(std::pair(U(t.status), U(t.detail)), std::pair(std::string(s.shownStatus), std::string(s.shownDetail)))
        << s.date << " " << s.time;
  }
}

TEST(ReservationFile, DamageKeepsWhatCannotBeRead) {
  test::TempFolder dir;
  const std::string stored = EncryptLine("A0,2024/03/15,09:05:07") + "\r\n!!broken\r\n" + EncryptLine(S("X0,送信済,"));
  test::WriteFile(dir / "r", stored);
  const ReservationFileRead read = ReadReservationFile(dir / "r");
  EXPECT_EQ(std::tuple(read.exists, read.whole, read.lines, Utf8(read.afterDamage)),
            std::tuple(true, false, Lines{"A0,2024/03/15,09:05:07"}, Lines{"X0,送信済,"}));
  AppendReservationRecords(dir / "r", read.stored, {"X0,x,"});
  EXPECT_EQ(test::ReadFile(dir / "r"), stored + "\r\n" + EncryptLine("X0,x,") + "\r\n");
  EXPECT_FALSE(ReadReservationFile(dir / "none").exists);
}

struct Editor : ::testing::Test {
  Editor() : folder(dir.path()) {
    CreateDataDirectories(folder);
    settings.identifier = "MailNo";
    settings.lastMailNo = "1041";
    page.subject = S("会議");
    page.body = {S("本日")};
    sendRecipients.Cell(0, 1) = S("山田");
    sendRecipients.Cell(1, 1) = "y@x.jp";
    ShowReservationEditor(editor, folder, settings, page, sendRecipients, kNow);
  }
  Booking Book(const char* date, const char* time) {
    editor.input.date = date;
    editor.input.time = time;
    return RegisterReservation(editor, folder, settings, op, kNow);
  }
  Lines Column(int col) const {
    Lines cells;
    for (int row = 1; row < editor.list.RowCount(); ++row) cells.push_back(U(editor.list.Cell(col, row)));
    return cells;
  }
  std::string StoredLastMailNo() const { return DecryptLine(ReadTextLines(folder.SettingsFile()).at(9)); }

  test::TempFolder dir;
  DataFolder folder;
  Settings settings;
  SendPage page;
  Grid sendRecipients{3, 30};
  ReservationEditor editor;
  test::ScriptedOperator op;
};

TEST_F(Editor, BookingsAreCheckedNumberedAndListed) {
  EXPECT_FALSE(HasReservations(editor));
  EXPECT_EQ(std::tuple(U(editor.input.group), editor.input.mailNo, editor.input.date, editor.input.time),
            std::tuple("個別伝達", "", "2024/03/15", "09:05:07"));

  const struct {
    const char *date, *time;
    Booking booking;
    const char* message;  // the start of what the operator is told
  } bookings[] = {
      {"2024/03/14", "10:00:00", Booking::Refused, "予約日が本日以前の指定となっています"},
      {"2024/03/15", "09:05:06", Booking::Refused, "予約時間が現時点以前の指定となっています"},
      {"2024/03/15", "09:05:07", Booking::New,
       "送信予約日：2024/03/15\r　送信時間：09:05:07\r            \r予約を【新規登録】しました"},
      {"2024/03/15", "10:15:00", Booking::New, "送信予約日"},
      {"2024/03/15", "10:15:30", Booking::Refused, "予約時間が分単位で重複しています"},
      {"2024/03/16", "10:15:30", Booking::New, "送信予約日"},
      {"2024/03/15", "10:15:00", Booking::Overwritten,
       "送信予約日：2024/03/15\r　送信時間：10:15:00\r            \r予約を【上書登録】しました"},
  };
  for (const auto& b : bookings) {
    op.messages.clear();
    EXPECT_EQ(Book(b.date, b.time), b.booking) << b.date << " " << b.time;
    ASSERT_EQ(op.Texts().size(), 1u);
    EXPECT_EQ(op.Texts()[0].substr(0, std::string(b.message).size()), b.message);
  }
  EXPECT_EQ(op.messages.back().caption, "Zentavo");
  EXPECT_EQ(op.messages.back().icon, MsgIcon::None);
  // Three new bookings took 1042..1044; the overwrite kept 1043 and left
  // the counter alone, though the input area held 1044.
  EXPECT_EQ(std::pair(settings.lastMailNo, StoredLastMailNo()), std::pair(std::string("1044"), std::string("1044")));
  EXPECT_EQ(Column(kReservationSubjectColumn), (Lines{"MailNo1042_会議", "MailNo1043_会議", "MailNo1044_会議"}));
  EXPECT_EQ(test::FileNames(dir / "RESERVE"), (Lines{"20240315 090507", "20240315 101500", "20240316 101530"}));

  // Without a name, subject or body nothing is booked.
  for (auto clear :
       {+[](ReservationInput& in) { in.recipients.Cell(0, 1).clear(); },
        +[](ReservationInput& in) { in.subject.clear(); }, +[](ReservationInput& in) { in.body.clear(); }}) {
    ShowReservationEditor(editor, folder, settings, page, sendRecipients, kNow);
    clear(editor.input);
    EXPECT_EQ(Book("2024/03/20", "08:00:00"), Booking::Refused);
  }
  const Lines told = op.Texts();
  EXPECT_EQ(Lines(told.end() - 3, told.end()),
            (Lines{"伝達者が指定されていません", "伝達件名ががありません", "伝達本文がありません"}));

  // 9999 is followed by 1000.
  settings.lastMailNo = "9998";
  ShowReservationEditor(editor, folder, settings, page, sendRecipients, kNow);
  Book("2024/03/20", "08:00:00");
  EXPECT_EQ(std::tuple(editor.input.mailNo, settings.lastMailNo, StoredLastMailNo()), std::tuple("9999", "999", "999"));
}

TEST_F(Editor, ListLoadDeleteAndDamagedFiles) {
  Book("2024/03/16", "08:00:00");
  Book("2024/03/15", "12:00:00");
  // Older files: one without a moment, one whose moment passed unsent, one
  // sent; and what an interrupted write left.
  test::WriteEnciphered(dir / "RESERVE" / "orphan", {"X0,未送信,", "X1,2024/03/01 08:00:00　x"});
  test::WriteEnciphered(dir / "RESERVE" / "20240315 080000",
                        {"A0,2024/03/15,08:00:00", "B0,総務", "C0,MailNo,1001,朝"});
  test::WriteEnciphered(
      dir / "RESERVE" / "20240314 080000",
      {"A0,2024/03/14,08:00:00", "C0,MailNo,1000,前日", "X0,送信済,", "X1,2024/03/14 08:00:01　正常に送信しました"});
  test::WriteFile(dir / "RESERVE" / "20240317 080000.~zt123.tmp", "x");
  LoadReservationList(folder, editor, kNow);
  EXPECT_EQ(Column(kReservationDateColumn), (Lines{"2024/03/14", "2024/03/15", "2024/03/15", "2024/03/16"}));
  EXPECT_EQ(Column(kReservationResultColumn), (Lines{"送信済", "未処理", "", ""}));
  EXPECT_EQ(Column(kReservationDetailColumn),
            (Lines{"2024/03/14 08:00:01　正常に送信しました", "予約時間が既に経過しました", "", ""}));

  LoadReservationIntoEditor(editor, folder, 2, kNow);
  EXPECT_EQ(std::tuple(U(editor.input.group), editor.input.mailNo, U(editor.input.subject), editor.input.time,
                       U(editor.resultLine)),
            std::tuple("総務", "1001", "朝", "08:00:00", "未処理：予約時間が既に経過しました"));
  LoadReservationIntoEditor(editor, folder, 3, kNow);
  EXPECT_EQ(std::tuple(U(editor.input.recipients.Cell(0, 1)), editor.input.mailNo, editor.resultLine),
            std::tuple("山田", "1043", ""));

  DeleteReservation(editor, folder, {1, 3});
  EXPECT_EQ(Column(kReservationDateColumn), (Lines{"2024/03/15", "2024/03/16"}));
  EXPECT_EQ(test::FileNames(dir / "RESERVE"),
            (Lines{"20240315 080000", "20240316 080000", "20240317 080000.~zt123.tmp", "orphan"}));
  DeleteReservation(editor, folder, {1, 2});
  EXPECT_FALSE(HasReservations(editor));
  EXPECT_EQ(editor.list.RowCount(), 2);
}

}  // namespace
}  // namespace zentavo
