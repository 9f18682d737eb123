#include "store/Settings.h"

#include <charconv>
#include <vector>

#include "base/DiagnosticLog.h"
#include "store/LineCipher.h"
#include "store/TextFile.h"
#include "text/SjisUnicode.h"

namespace zentavo {

Settings::Settings() : splitIndicator(Sj("分割：無")) {}

bool NoServerConfigured(const Settings& settings) { return settings.smtpHost.empty() && settings.popHost.empty(); }

bool SetSplitSend(Settings& settings, bool on) {
  if (on == settings.splitSend && !settings.splitIndicator.empty()) return false;
  settings.splitSend = on;
  settings.splitIndicator = Sj(on ? "分割:有" : "分割:無");
  return true;
}

int ClampSplitSize(long long value) {
  if (value < kSplitSizeMin) return kSplitSizeMin;
  if (value > kSplitSizeMax) return kSplitSizeMax;
  return static_cast<int>(value);
}

bool ParseInt32(std::string_view text, std::int32_t& value) {
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  if (text.empty() || text.front() == '+') return false;
  const char* end = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(text.data(), end, value);
  return ec == std::errc() && ptr == end;
}

namespace {

// Line 14 is a number that the spin box clamps; a huge one is still a number
// and clamps to the maximum, anything else is ignored.
bool ParseSplitSize(std::string_view text, int& size) {
  std::string_view digits = text;
  bool negative = false;
  if (!digits.empty() && (digits.front() == '+' || digits.front() == '-')) {
    negative = digits.front() == '-';
    digits.remove_prefix(1);
  }
  if (digits.empty()) return false;
  long long v = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return false;
    if (v < 1000000) v = v * 10 + (c - '0');
  }
  size = ClampSplitSize(negative ? -v : v);
  return true;
}

}  // namespace

ReadResult LoadSettings(const std::filesystem::path& file, Settings& s) {
  // Lines 3/17, 11 and 13 to 16 wait here until the whole file is read.
  std::string countLine, startupLine, splitLine, sizeLine, confirmLine, identifierLine;
  ReadResult result = ReadResult::Missing;
  std::error_code ec;
  if (std::filesystem::exists(file, ec) || ec) {
    result = ReadResult::Whole;
    int number = 0;
    try {
      std::vector<std::string> lines = ReadTextLines(file);
      if (lines.empty()) lines.emplace_back();  // the first line is read even from an empty file
      for (const std::string& raw : lines) {
        ++number;
        if (number > 17) continue;
        if (number == 3) {
          countLine = raw;  // "dumy", kept as it is
          continue;
        }
        std::string value = DecryptLine(raw);
        switch (number) {
          case 1: s.smtpHost = value; break;
          case 2: s.smtpPort = value; break;
          case 4: s.popHost = value; break;
          case 5: s.popPort = value; break;
          case 6: s.user = value; break;
          case 7: s.password = value; break;
          case 8: s.senderName = value; break;
          case 9: s.senderAddress = value; break;
          case 10: s.lastMailNo = value; break;
          case 11: startupLine = value; break;
          case 12: s.programLabel = value; break;
          case 13: splitLine = value; break;
          case 14: sizeLine = value; break;
          case 15: confirmLine = value; break;
          case 16: identifierLine = value; break;
          case 17: countLine = value; break;
        }
      }
    } catch (const std::exception& e) {
      // What was read stays; the rest of the file (the password, say) is
      // kept safe from being written back without it.
      result = ReadResult::Partial;
      MarkPartlyRead(file);
      LogDiagnostic(file.string() + ": reading stopped at line " + std::to_string(number) + " (" + e.what() + ")");
    }
  }

  if (s.lastMailNo.empty()) s.lastMailNo = "999";
  if (startupLine == "0" || startupLine == "1") s.startupScreen = startupLine == "1" ? 1 : 0;
  if (s.programLabel.empty()) s.programLabel = Sj("ゼンタボ");
  s.banner = s.programLabel;
  if (splitLine == "1") SetSplitSend(s, true);
  if (!sizeLine.empty()) {
    int size = 0;
    if (ParseSplitSize(sizeLine, size)) s.splitSize = size;
  }
  if (confirmLine == "1") s.confirmSplit = true;
  const std::string identifier = identifierLine.empty() ? std::string("MailNo") : identifierLine;
  s.identifier = identifier;
  s.identifierSetting = identifier;
  std::int32_t count = 0;
  s.lastSeenCount = ParseInt32(countLine, count) ? count : 0;
  return result;
}

void SaveSettings(const std::filesystem::path& file, const Settings& s) {
  const std::vector<std::string> plain = {
      s.smtpHost,
      s.smtpPort,
      "dumy",
      s.popHost,
      s.popPort,
      s.user,
      s.password,
      s.senderName,
      s.senderAddress,
      s.lastMailNo,
      std::to_string(s.startupScreen),
      s.programLabel,
      s.splitSend ? "1" : "0",
      std::to_string(s.splitSize),
      s.confirmSplit ? "1" : "0",
      s.identifierSetting,
      std::to_string(s.lastSeenCount),
  };
  std::vector<std::string> lines;
  lines.reserve(plain.size());
  for (const auto& value : plain) lines.push_back(EncryptLine(value));
  WriteTextLines(file, lines);
}

void ApplyProgramLabel(Settings& s) { s.banner = s.programLabel; }

void ApplyIdentifier(Settings& s) { s.identifier = s.identifierSetting; }

}  // namespace zentavo
