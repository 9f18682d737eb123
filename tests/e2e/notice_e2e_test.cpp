// A whole notice against the real stack: the send run with its checks,
// question, batches and records, the real SMTP transport, Postfix delivering
// into the maildirs, and the mail read back over POP3 and opened as a mail
// reader would open it.
#include <gmime/gmime.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "e2e/MailStack.h"
#include "support/TestSupport.h"
#include "send/SendRun.h"
#include "store/Base64.h"
#include "store/DataFolder.h"
#include "store/LineCipher.h"
#include "store/TextFile.h"
#include "text/KanjiCode.h"
#include "text/SjisUnicode.h"

namespace zentavo::e2e {
namespace {

namespace fs = std::filesystem;

using test::S;
using test::U;

std::vector<std::string> S(const std::vector<std::string>& utf8) {
  std::vector<std::string> out;
  for (const auto& line : utf8) out.push_back(S(line));
  return out;
}

// A program folder of its own with the sub-directories that start-up
// creates, removed afterwards.
class ProgramFolderUnderTmp : public test::TempFolder {
 public:
  ProgramFolderUnderTmp() {
    for (const char* dir : kDataSubdirectories) fs::create_directory(path() / dir);
  }
};

std::string ReadBytes(const fs::path& path) { return test::ReadFile(path); }

// The windows as the run meets them: every question is answered Yes, the
// split window with "送信実行"; texts are recorded in UTF-8.
class RecordingOperator final : public SendOperator {
 public:
  MsgAnswer Message(std::string_view, std::string_view text, MsgIcon, MsgButtons buttons,
                    std::string_view) override {
    messages.push_back(U(std::string(text)));
    return buttons == MsgButtons::Ok ? MsgAnswer::Ok : MsgAnswer::Yes;
  }
  void Progress(std::string_view text) override { progress.push_back(U(std::string(text))); }
  std::optional<fs::path> ChooseOpenFile(const FileChoice&) override {
    ADD_FAILURE() << "the send run asked for a file";
    return std::nullopt;
  }
  std::optional<fs::path> ChooseSaveFile(const FileChoice&) override {
    ADD_FAILURE() << "the send run asked for a file";
    return std::nullopt;
  }
  void SendRunStarted() override { ++started; }
  void SendRunEnded() override { ++ended; }
  void ShowProgressWindow() override { ++progressShown; }
  void CloseProgressWindow() override { ++progressClosed; }
  bool ConfirmSplit(const SplitVerdict& verdict) override {
    splitVerdicts.push_back(verdict.text);
    return true;
  }
  void ShowUnregistered(const std::vector<UnregisteredRow>& rows) override {
    std::vector<std::string> shown;
    for (const auto& row : rows) shown.push_back(U(row.name) + "|" + U(row.address) + "|" + U(row.phone));
    unregistered.push_back(shown);
  }

  std::vector<std::string> messages;
  std::vector<std::string> progress;
  std::vector<std::string> splitVerdicts;
  std::vector<std::vector<std::string>> unregistered;  // one entry per list shown: "name|address|phone"
  int started = 0;
  int ended = 0;
  int progressShown = 0;
  int progressClosed = 0;
};

// One header field, continuation lines joined on.
struct Field {
  std::string name;  // lower case
  std::string value;
};

std::vector<Field> HeaderFields(const std::string& message) {
  const std::string header = HeaderOf(message);
  std::vector<Field> fields;
  size_t start = 0;
  while (start < header.size()) {
    size_t end = header.find("\r\n", start);
    if (end == std::string::npos) end = header.size();
    const std::string line = header.substr(start, end - start);
    start = end + 2;
    if (line.empty()) continue;
    if ((line[0] == ' ' || line[0] == '\t') && !fields.empty()) {
      fields.back().value += line;
      continue;
    }
    const size_t colon = line.find(':');
    Field f;
    f.name = line.substr(0, colon);
    std::transform(f.name.begin(), f.name.end(), f.name.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (colon != std::string::npos) {
      f.value = line.substr(colon + 1);
      f.value.erase(0, f.value.find_first_not_of(" \t"));
    }
    fields.push_back(std::move(f));
  }
  return fields;
}

std::vector<std::string> ValuesOf(const std::vector<Field>& fields, const std::string& name) {
  std::vector<std::string> values;
  for (const auto& f : fields)
    if (f.name == name) values.push_back(f.value);
  return values;
}

// What a mail reader shows of a message, back in Shift_JIS.
struct ReaderView {
  std::string subject;
  std::string body;
};

ReaderView OpenWithGMime(const std::string& raw) {
  static const bool initialised = [] {
    g_mime_init();
    return true;
  }();
  (void)initialised;
  ReaderView view;
  GMimeStream* stream = g_mime_stream_mem_new_with_buffer(raw.data(), raw.size());
  GMimeParser* parser = g_mime_parser_new_with_stream(stream);
  GMimeMessage* message = g_mime_parser_construct_message(parser, nullptr);
  EXPECT_NE(message, nullptr) << "GMime cannot parse\n" << raw;
  if (message) {
    const char* subject = g_mime_message_get_subject(message);
    view.subject = Utf8ToSjis(subject ? subject : "").text;
    GMimeObject* part = g_mime_message_get_mime_part(message);
    EXPECT_TRUE(part && GMIME_IS_TEXT_PART(part)) << "not a single text part";
    if (part && GMIME_IS_TEXT_PART(part)) {
      char* text = g_mime_text_part_get_text(GMIME_TEXT_PART(part));
      view.body = Utf8ToSjis(text ? text : "").text;
      g_free(text);
    }
    g_object_unref(message);
  }
  g_object_unref(parser);
  g_object_unref(stream);
  return view;
}

// The queue id Postfix gave the SMTP transaction that brought a message in
// (from its Received line, which also tells that the client logged in): all
// copies of one batch share it.
std::string QueueId(const std::vector<Field>& fields) {
  const std::string authenticated = "with ESMTPA id ";
  for (const auto& value : ValuesOf(fields, "received")) {
    const size_t at = value.find(authenticated);
    if (at == std::string::npos) continue;
    const size_t from = at + authenticated.size();
    size_t end = from;
    while (end < value.size() && std::isalnum(static_cast<unsigned char>(value[end]))) ++end;
    return value.substr(from, end - from);
  }
  return "";
}

std::string JoinCrLf(const std::vector<std::string>& lines) {
  std::string out;
  for (const auto& line : lines) out += line + "\r\n";
  return out;
}

std::set<std::string> FileNames(const fs::path& dir) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir)) names.insert(entry.path().filename().string());
  return names;
}

std::vector<std::string> Deciphered(const fs::path& file) {
  std::vector<std::string> lines;
  for (const auto& line : ReadTextLines(file)) lines.push_back(U(DecryptLine(line)));
  return lines;
}

const LocalDateTime kSendTime{2026, 12, 6, 9, 0, 0, 540};
const std::string kAskSplit = "分割送信の準備が完了しました\r送信を実行してよろしいですか？";

class NoticeE2E : public ::testing::Test {
 protected:
  void SetUp() override {
    stack = MailStack::FromEnvironment();
    // The subject travels as encoded words, so the mailboxes are searched
    // for the marker's copy in the body, where ASCII stays readable.
    marker = UniqueMarker("notice");
    subject = "職員会議の日程変更について " + marker;
    bodyLines = {
        "職員各位",
        "本日予定していた職員会議は、明日の午後三時から第二会議室で行います。",
        "資料は各自でご用意ください。",
        "照合番号 " + marker,
    };

    settings.smtpHost = stack.smtpHost;
    settings.smtpPort = stack.smtpPort;
    settings.user = stack.office();
    settings.password = stack.password;
    settings.senderName = S("総務課");
    settings.senderAddress = stack.office();
    settings.lastMailNo = "999";
    SetSplitSend(settings, true);
    settings.splitSize = 2;
    settings.confirmSplit = false;
    settings.identifierSetting = "MailNo";
    settings.identifier = "MailNo";
    // The file as the program keeps it; the run rewrites it.
    SaveSettings(folder.SettingsFile(), settings);
    settingsBefore = ReadBytes(folder.SettingsFile());

    // The grid as the send page shows it: header, data, empty rows after
    // them. The name-only row sits between addressed rows.
    recipients.SetHeader({S("氏名"), S("メールアドレス"), S("電話番号")});
    Row(1, "山田 太郎", staff(0), "");
    Row(2, "鈴木 花子", "", "090-1111-2222");
    Row(3, "佐藤 次郎", staff(1), "03-3333-4444");
    Row(4, "高橋 三郎", staff(2), "");

    page.group = S("総務");
    page.subject = S(subject);
    page.body = S(bodyLines);
    page.copyToSelf = true;
    page.appendNames = true;
    page.appendGroup = true;
  }

  std::string staff(int i) const { return stack.staff().at(static_cast<size_t>(i)); }

  void Row(int r, const std::string& name, const std::string& address, const std::string& phone) {
    recipients.Cell(0, r) = S(name);
    recipients.Cell(1, r) = address;
    recipients.Cell(2, r) = phone;
  }

  void Send() {
    SendNotice(SendContext{folder, settings, recipients, page, run, op, transport, runner,
                           [] { return kSendTime; }});
  }

  // The body as composed at kSendTime, one entry per line (UTF-8).
  std::vector<std::string> ComposedLines() const {
    std::vector<std::string> lines = bodyLines;
    for (const char* line : {" ", "SEND:2026/12/06 09:00:00", " ", "≪本メールの同報伝達者≫", "山田 太郎",
                             "鈴木 花子", "佐藤 次郎", "高橋 三郎", "≪本メールの伝達グループ名≫", "総務"})
      lines.emplace_back(line);
    return lines;
  }

  // Everything one delivered copy must show to the holder of `mailbox`;
  // returns the queue id of the batch that brought it.
  std::string CheckDelivered(const std::string& raw, const std::string& mailbox) const {
    SCOPED_TRACE("copy in " + mailbox);
    const std::string expectedBody = JoinCrLf(S(ComposedLines()));

    // Sent as 7bit ISO-2022-JP, the body reads back as composed, both by our
    // own conversion and by a mail reader.
    const std::string body = BodyOf(raw);
    EXPECT_TRUE(std::all_of(body.begin(), body.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
        << "the body is not seven-bit";
    EXPECT_EQ(U(ConvertKanjiCode(body, kCodeSjis)), U(expectedBody));
    const ReaderView view = OpenWithGMime(raw);
    EXPECT_EQ(U(view.subject), "MailNo1000_" + subject);
    EXPECT_EQ(U(view.body), U(expectedBody));

    const std::vector<Field> fields = HeaderFields(raw);
    EXPECT_EQ(ValuesOf(fields, "from"), std::vector<std::string>{stack.office()});
    EXPECT_EQ(ValuesOf(fields, "to"), std::vector<std::string>{stack.office()});
    EXPECT_TRUE(ValuesOf(fields, "cc").empty());
    EXPECT_TRUE(ValuesOf(fields, "bcc").empty());
    EXPECT_EQ(ValuesOf(fields, "date"), std::vector<std::string>{"Sun, 06 Dec 2026 09:00:00 +0900"});
    EXPECT_EQ(ValuesOf(fields, "content-type"), std::vector<std::string>{"text/plain; charset=ISO-2022-JP"});

    // Blind copies stay blind: a staff address shows only in the delivery
    // fields of its own mailbox.
    for (const auto& f : fields)
      for (int i = 0; i < 3; ++i) {
        if (f.value.find(staff(i)) == std::string::npos) continue;
        const bool ownDelivery = staff(i) == mailbox && (f.name == "x-original-to" || f.name == "delivered-to");
        EXPECT_TRUE(ownDelivery) << f.name << ": " << f.value << " names " << staff(i) << "\n" << HeaderOf(raw);
      }

    const std::string queueId = QueueId(fields);
    EXPECT_FALSE(queueId.empty()) << "not received from a logged-in client\n" << HeaderOf(raw);
    return queueId;
  }

  MailStack stack;
  std::string marker;
  std::string subject;                 // UTF-8
  std::vector<std::string> bodyLines;  // UTF-8

  ProgramFolderUnderTmp programFolder;
  DataFolder folder{programFolder.path()};
  Settings settings;
  std::string settingsBefore;
  Grid recipients{3, 8};
  SendPage page;
  SendRunState run;
  RecordingOperator op;
  std::shared_ptr<PocoSmtpTransport> transport = std::make_shared<PocoSmtpTransport>(SmtpTimeouts{5000, 15000});
  InlineStepRunner runner;
};

TEST_F(NoticeE2E, SplitNoticeReachesEachRecipientOnceAndIsRecorded) {
  Send();

  // The run: confirmed once, two batches, no warning, windows balanced.
  EXPECT_EQ(op.messages, std::vector<std::string>{kAskSplit});
  EXPECT_TRUE(op.splitVerdicts.empty());
  EXPECT_EQ(op.progress, (std::vector<std::string>{"処理を開始しました", "MailNo1000を送信します",
                                                   "1/2を送信しています", "2/2を送信しています",
                                                   "MailNo1000は正常に送信しました"}));
  EXPECT_EQ(op.started, 1);
  EXPECT_EQ(op.ended, 1);
  EXPECT_EQ(op.progressShown, 1);
  EXPECT_EQ(op.progressClosed, 1);
  EXPECT_FALSE(run.running);
  EXPECT_TRUE(run.sent);
  EXPECT_EQ(run.batchCount, 2);

  // The mail: one copy per staff member, one per batch for the office.
  auto atLeast = [](size_t n) {
    return [n](const std::vector<std::string>& found) { return found.size() >= n; };
  };
  const std::vector<std::string> officeCopies = stack.Await(stack.office(), marker, atLeast(2));
  ASSERT_EQ(officeCopies.size(), 2u);
  std::set<std::string> officeBatches;
  for (const auto& copy : officeCopies) officeBatches.insert(CheckDelivered(copy, stack.office()));
  std::vector<std::string> staffBatch;
  for (int i = 0; i < 3; ++i) {
    const std::vector<std::string> found = stack.Await(staff(i), marker, atLeast(1));
    ASSERT_EQ(found.size(), 1u) << staff(i);
    staffBatch.push_back(CheckDelivered(found[0], staff(i)));
  }
  // Batches of two addressed rows, the name-only row passed over: the first
  // and second staff member in one, the third in the other, each batch with
  // its own copy for the office.
  EXPECT_EQ(staffBatch[0], staffBatch[1]);
  EXPECT_NE(staffBatch[1], staffBatch[2]);
  EXPECT_EQ(officeBatches, (std::set<std::string>{staffBatch[0], staffBatch[2]}));
  // Everything has arrived by now; a second look finds no extra copy, and
  // nothing for the staff who were not addressed.
  const auto none = std::chrono::milliseconds(0);
  EXPECT_EQ(stack.Await(stack.office(), marker, atLeast(0), none).size(), 2u);
  for (int i = 0; i < 5; ++i)
    EXPECT_EQ(stack.Await(staff(i), marker, atLeast(0), none).size(), i < 3 ? 1u : 0u) << staff(i);

  // The counter moved on, in memory and in the settings file (line 10).
  EXPECT_EQ(page.mailNoBox, "1000");
  EXPECT_EQ(settings.lastMailNo, "1000");
  const std::vector<std::string> settingsLines = ReadTextLines(folder.SettingsFile());
  ASSERT_EQ(settingsLines.size(), 17u);
  EXPECT_EQ(DecryptLine(settingsLines[9]), "1000");

  // The body box shows the text as sent; the name-only row was listed.
  EXPECT_EQ(page.body, S(ComposedLines()));
  EXPECT_EQ(op.unregistered, (std::vector<std::vector<std::string>>{{"鈴木 花子||090-1111-2222"}}));

  // The three logs, named by stamp, identifier, MailNo and subject.
  const std::string key = "20261206 090000_MailNo1000_" + subject;
  const fs::path logDir = programFolder.path() / "LOG";
  EXPECT_EQ(FileNames(logDir), (std::set<std::string>{"0_" + key, "1_" + key, "2_" + key}));
  const std::vector<std::string> noticeLog = ReadTextLines(logDir / ("0_" + key));
  ASSERT_EQ(noticeLog.size(), 1u);
  EXPECT_EQ(U(DecodeBase64(noticeLog[0])), subject);
  EXPECT_EQ(Deciphered(logDir / ("1_" + key)),
            (std::vector<std::string>{"氏名,メールアドレス,電話番号,返信時間", "山田 太郎," + staff(0) + ",",
                                      "佐藤 次郎," + staff(1) + ",03-3333-4444", "高橋 三郎," + staff(2) + ","}));
  EXPECT_EQ(Deciphered(logDir / ("2_" + key)), ComposedLines());
}

TEST_F(NoticeE2E, RefusedLoginSendsNothingAndRecordsNothing) {
  settings.password += "x";
  Send();

  EXPECT_EQ(op.messages, (std::vector<std::string>{kAskSplit, "伝達の送信に失敗しました"}));
  // The first batch failed, so the second was never begun.
  EXPECT_EQ(op.progress, (std::vector<std::string>{"処理を開始しました", "MailNo1000を送信します",
                                                   "1/2を送信しています"}));
  EXPECT_EQ(op.progressShown, 1);
  EXPECT_EQ(op.progressClosed, 1);
  EXPECT_EQ(op.ended, 1);
  EXPECT_FALSE(run.running);
  EXPECT_FALSE(run.sent);

  // The box shows the number tried; the counter and the file stay, so the
  // next run tries 1000 again.
  EXPECT_EQ(page.mailNoBox, "1000");
  EXPECT_EQ(settings.lastMailNo, "999");
  EXPECT_EQ(ReadBytes(folder.SettingsFile()), settingsBefore);
  EXPECT_EQ(page.body, S(bodyLines));
  EXPECT_TRUE(op.unregistered.empty());
  EXPECT_TRUE(FileNames(programFolder.path() / "LOG").empty());

  const auto none = [](const std::vector<std::string>&) { return true; };
  EXPECT_TRUE(stack.Await(stack.office(), marker, none).empty());
  EXPECT_TRUE(stack.Await(staff(0), marker, none).empty());
}

}  // namespace
}  // namespace zentavo::e2e
