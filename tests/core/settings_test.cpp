#include <gtest/gtest.h>

#include "store/LineCipher.h"
#include "store/Settings.h"
#include "store/TextFile.h"
#include "support/TestSupport.h"

namespace zentavo {
namespace {
using test::S;

// Writes a settings file whose lines are the given plain values, line 3
// written as given (it is not enciphered when read).
void WriteSettings(const std::filesystem::path& file, const std::vector<std::string>& plain) {
  std::vector<std::string> lines;
  for (size_t i = 0; i < plain.size(); ++i) lines.push_back(i == 2 ? plain[i] : EncryptLine(plain[i]));
  WriteTextLines(file, lines);
}

std::vector<std::string> FullFile() {
  return {"smtp.example.jp", "587", "dumy", "pop.example.jp", "995", "user1", "pw",
          S("総務課"), "soumu@example.jp", "1234", "1", S("総務連絡"), "1", "45", "1",
          "Kairan", "17"};
}

TEST(Settings, MissingFileGivesDefaults) {
  test::TempFolder dir;
  Settings s;
  LoadSettings(dir / "zentavo.ini", s);
  EXPECT_EQ(s.smtpPort, "25");
  EXPECT_EQ(s.popPort, "110");
  EXPECT_EQ(s.lastMailNo, "999");
  EXPECT_EQ(s.programLabel, S("ゼンタボ"));
  EXPECT_EQ(s.banner, S("ゼンタボ"));
  EXPECT_EQ(s.identifier, "MailNo");
  EXPECT_EQ(s.identifierSetting, "MailNo");
  EXPECT_EQ(s.LastSeenCount, 0);
  EXPECT_EQ(s.startupScreen, 0);
  EXPECT_EQ(s.splitSize, 30);
  EXPECT_FALSE(s.splitSend);
  EXPECT_EQ(s.splitLabel, S("分割：無"));  // the form's initial full-width colon
}

TEST(Settings, FullFileIsApplied) {
  test::TempFolder dir;
  WriteSettings(dir / "zentavo.ini", FullFile());
  Settings s;
  LoadSettings(dir / "zentavo.ini", s);
  EXPECT_EQ(s.smtpHost, "smtp.example.jp");
  EXPECT_EQ(s.smtpPort, "587");
  EXPECT_EQ(s.popHost, "pop.example.jp");
  EXPECT_EQ(s.popPort, "995");
  EXPECT_EQ(s.user, "user1");
  EXPECT_EQ(s.password, "pw");
  EXPECT_EQ(s.senderName, S("総務課"));
  EXPECT_EQ(s.senderAddress, "soumu@example.jp");
  EXPECT_EQ(s.lastMailNo, "1234");
  EXPECT_EQ(s.startupScreen, 1);
  EXPECT_EQ(s.banner, S("総務連絡"));
  EXPECT_TRUE(s.splitSend);
  EXPECT_EQ(s.splitLabel, S("分割:有"));
  EXPECT_EQ(s.splitSize, 45);
  EXPECT_TRUE(s.confirmSplit);
  EXPECT_EQ(s.identifier, "Kairan");
  EXPECT_EQ(s.identifierSetting, "Kairan");
  EXPECT_EQ(s.LastSeenCount, 17);
}

TEST(Settings, SixteenLineFileTakesTheCountFromLineThree) {
  test::TempFolder dir;
  auto plain = FullFile();
  plain.pop_back();
  WriteSettings(dir / "old.ini", plain);  // line 3 "dumy": not a number
  Settings s;
  LoadSettings(dir / "old.ini", s);
  EXPECT_EQ(s.LastSeenCount, 0);
  EXPECT_EQ(s.identifier, "Kairan");

  plain[2] = "42";  // an older file whose line 3 happens to be a number
  WriteSettings(dir / "old.ini", plain);
  Settings t;
  LoadSettings(dir / "old.ini", t);
  EXPECT_EQ(t.LastSeenCount, 42);
}

TEST(Settings, OddValuesOfLines11And14And16) {
  test::TempFolder dir;
  struct Case {
    std::string line11, line14, line16;
    int screen, size;
    std::string identifier;
  };
  const Case cases[] = {
      {"2", "1", "", 0, 2, "MailNo"},
      {"", "20000", "", 0, 9999, "MailNo"},
      {"01", "abc", "ID", 0, 30, "ID"},           // not a number: start-up goes on
      {"1", "99999999999999", "", 1, 9999, "MailNo"},
      {"0", "-5", "", 0, 2, "MailNo"},
      {"0", "", "", 0, 30, "MailNo"},
  };
  for (const auto& c : cases) {
    auto plain = FullFile();
    plain[10] = c.line11;
    plain[13] = c.line14;
    plain[15] = c.line16;
    WriteSettings(dir / "z.ini", plain);
    Settings s;
    LoadSettings(dir / "z.ini", s);
    EXPECT_EQ(s.startupScreen, c.screen) << c.line11;
    EXPECT_EQ(s.splitSize, c.size) << c.line14;
    EXPECT_EQ(s.identifier, c.identifier);
    EXPECT_EQ(s.identifierSetting, c.identifier);
  }
}

TEST(Settings, DamagedLineStopsReadingAndDefaultsFillTheRest) {
  test::TempFolder dir;
  auto plain = FullFile();
  WriteSettings(dir / "z.ini", plain);
  auto lines = ReadTextLines(dir / "z.ini");
  lines[5] = "AAAAAAAAAAAAAAAA";  // decodes to 12 bytes: not a stored line
  WriteTextLines(dir / "z.ini", lines);
  Settings s;
  LoadSettings(dir / "z.ini", s);
  EXPECT_EQ(s.popPort, "995");   // before the damage
  EXPECT_EQ(s.user, "");         // the damaged line and after: defaults
  EXPECT_EQ(s.lastMailNo, "999");
  EXPECT_EQ(s.identifier, "MailNo");
  EXPECT_EQ(s.LastSeenCount, 0);
}

TEST(Settings, PresentButEmptyPortLinesEmptyTheBoxes) {
  test::TempFolder dir;
  auto plain = FullFile();
  plain[1] = "";
  plain[4] = "";
  WriteSettings(dir / "z.ini", plain);
  Settings s;
  LoadSettings(dir / "z.ini", s);
  EXPECT_EQ(s.smtpPort, "");
  EXPECT_EQ(s.popPort, "");
}

TEST(Settings, RoundTripKeepsEveryValue) {
  test::TempFolder dir;
  Settings s;
  s.smtpHost = "mail.example.jp";
  s.smtpPort = "2525";
  s.popHost = "10.0.0.1";
  s.popPort = "1110";
  s.user = S("ユーザ");
  s.password = "";
  s.senderName = S("人事課　担当");
  s.senderAddress = "jinji@example.jp";
  s.lastMailNo = "5000";
  s.startupScreen = 1;
  s.programLabel = S("ゼンタボ事務");
  SetSplitSend(s, true);
  s.splitSize = 9999;
  s.confirmSplit = true;
  s.identifierSetting = S("連絡");
  s.identifier = "Old";  // not saved: the send page's copy
  s.LastSeenCount = -7;
  SaveSettings(dir / "z.ini", s);
  ASSERT_EQ(ReadTextLines(dir / "z.ini").size(), 17u);
  EXPECT_EQ(DecryptLine(ReadTextLines(dir / "z.ini")[2]), "dumy");

  Settings t;
  LoadSettings(dir / "z.ini", t);
  EXPECT_EQ(t.smtpHost, s.smtpHost);
  EXPECT_EQ(t.smtpPort, s.smtpPort);
  EXPECT_EQ(t.popHost, s.popHost);
  EXPECT_EQ(t.popPort, s.popPort);
  EXPECT_EQ(t.user, s.user);
  EXPECT_EQ(t.password, "");
  EXPECT_EQ(t.senderName, s.senderName);
  EXPECT_EQ(t.senderAddress, s.senderAddress);
  EXPECT_EQ(t.lastMailNo, "5000");
  EXPECT_EQ(t.startupScreen, 1);
  EXPECT_EQ(t.programLabel, s.programLabel);
  EXPECT_TRUE(t.splitSend);
  EXPECT_EQ(t.splitSize, 9999);
  EXPECT_TRUE(t.confirmSplit);
  // An identifier edited without "反映" reaches both boxes at the next start.
  EXPECT_EQ(t.identifierSetting, S("連絡"));
  EXPECT_EQ(t.identifier, S("連絡"));
  EXPECT_EQ(t.LastSeenCount, -7);
}

TEST(Settings, ParseInt32AcceptsOnlyDecimalIntegers) {
  std::int32_t v = 0;
  EXPECT_TRUE(ParseInt32("123", v));
  EXPECT_EQ(v, 123);
  EXPECT_TRUE(ParseInt32("-4", v));
  EXPECT_EQ(v, -4);
  EXPECT_TRUE(ParseInt32("+8", v));
  EXPECT_EQ(v, 8);
  for (const char* bad : {"", "dumy", "1x", " 1", "++1", "2147483648", "+"}) {
    EXPECT_FALSE(ParseInt32(bad, v)) << bad;
  }
}

}  // namespace
}  // namespace zentavo
