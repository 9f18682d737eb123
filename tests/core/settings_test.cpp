// The 17-line settings file: what each line sets, the defaults, the odd
// values older or damaged files hold, and that a damaged file is kept.
#include <gtest/gtest.h>

#include "store/LineCipher.h"
#include "store/Settings.h"
#include "store/TextFile.h"
#include "support/TestSupport.h"

namespace zentavo {
namespace {

// Line 3 goes as it is: it is read without deciphering.
void WriteSettings(const std::filesystem::path& file, const Lines& plain) {
  Lines lines;
  for (size_t i = 0; i < plain.size(); ++i) lines.push_back(i == 2 ? plain[i] : EncryptLine(plain[i]));
  WriteTextLines(file, lines);
}

Lines FullFile() {
  // clang-format off
  return {"smtp.example.jp", "587", "dumy", "pop.example.jp", "995", "user1", "pw", S("総務課"), "soumu@example.jp",
          "1234", "1", S("総務連絡"), "1", "45", "1", "Kairan", "17"};
  // clang-format on
}

// Every value, in the order of the file's lines.
Lines Values(const Settings& s) {
  // clang-format off
  return {s.smtpHost, s.smtpPort, s.popHost, s.popPort, s.user, s.password, s.senderName, s.senderAddress,
          s.lastMailNo, std::to_string(s.startupScreen), s.programLabel, s.banner, s.splitSend ? "1" : "0",
          s.splitIndicator, std::to_string(s.splitSize), s.confirmSplit ? "1" : "0", s.identifierSetting,
          s.identifier, std::to_string(s.lastSeenCount)};
  // clang-format on
}

TEST(Settings, EveryLineAndTheDefaults) {
  test::TempFolder dir;
  Settings defaults;
  EXPECT_EQ(LoadSettings(dir / "zentavo.ini", defaults), ReadResult::Missing);
  EXPECT_EQ(Values(defaults), (Lines{"", "25", "", "110", "", "", "", "", "999", "0", S("ゼンタボ"), S("ゼンタボ"), "0",
                                     S("分割：無"), "30", "0", "MailNo", "MailNo", "0"}));

  WriteSettings(dir / "zentavo.ini", FullFile());
  Settings full;
  EXPECT_EQ(LoadSettings(dir / "zentavo.ini", full), ReadResult::Whole);
  EXPECT_EQ(Values(full),
            (Lines{"smtp.example.jp", "587", "pop.example.jp", "995", "user1", "pw", S("総務課"), "soumu@example.jp",
                   "1234", "1", S("総務連絡"), S("総務連絡"), "1", S("分割:有"), "45", "1", "Kairan", "Kairan", "17"}));

  // Saving and loading again gives every value back, Japanese and empty ones.
  full.password.clear();
  SaveSettings(dir / "again.ini", full);
  Settings again;
  LoadSettings(dir / "again.ini", again);
  EXPECT_EQ(Values(again), Values(full));
}

TEST(Settings, OddValues) {
  test::TempFolder dir;
  const struct {
    size_t line;  // 1-based
    std::string value;
    size_t field;  // index in Values()
    std::string shown;
  } cases[] = {
      {11, "2", 9, "0"},     {11, "01", 9, "0"},  {14, "1", 14, "2"},          {14, "20000", 14, "9999"},
      {14, "abc", 14, "30"}, {14, "-5", 14, "2"}, {16, "", 18 - 1, "MailNo"},  {17, "x", 18, "0"},
      {2, "", 1, ""},        {10, "", 8, "999"},  {12, "", 11, S("ゼンタボ")},
  };
  for (const auto& c : cases) {
    Lines plain = FullFile();
    plain[c.line - 1] = c.value;
    WriteSettings(dir / "z.ini", plain);
    Settings s;
    LoadSettings(dir / "z.ini", s);
    EXPECT_EQ(Values(s)[c.field], c.shown) << "line " << c.line << " \"" << c.value << "\"";
  }
  // An older file of 16 lines: the count comes from line 3 when it is a number.
  Lines old = FullFile();
  old.pop_back();
  old[2] = "42";
  WriteSettings(dir / "old.ini", old);
  Settings s;
  LoadSettings(dir / "old.ini", s);
  EXPECT_EQ(s.lastSeenCount, 42);
}

TEST(Settings, ADamagedLineKeepsWhatCameBeforeAndTheFileItself) {
  test::TempFolder dir;
  WriteSettings(dir / "z.ini", FullFile());
  Lines lines = ReadTextLines(dir / "z.ini");
  lines[5] = "AAAAAAAAAAAAAAAA";  // decodes to 12 bytes: not a stored line
  WriteTextLines(dir / "z.ini", lines);
  const std::string before = test::ReadFile(dir / "z.ini");
  Settings s;
  EXPECT_EQ(LoadSettings(dir / "z.ini", s), ReadResult::Partial);
  EXPECT_EQ(s.popPort, "995");
  EXPECT_EQ(s.user, "");
  EXPECT_EQ(s.lastMailNo, "999");
  // The password and everything after the damage would be lost by a save.
  EXPECT_THROW(SaveSettings(dir / "z.ini", s), FileError);
  EXPECT_EQ(test::ReadFile(dir / "z.ini"), before);
}

TEST(Settings, ParseInt32AcceptsOnlyDecimalIntegers) {
  std::int32_t v = 0;
  for (const char* good : {"0", "+12", "-3", "2147483647"}) EXPECT_TRUE(ParseInt32(good, v)) << good;
  for (const char* bad : {"", "+", "++1", "1a", " 1", "2147483648", "0x10"}) EXPECT_FALSE(ParseInt32(bad, v)) << bad;
}

}  // namespace
}  // namespace zentavo
