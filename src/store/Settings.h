// The operator's system settings and the two counters kept with them, as the
// "システム設定" page shows them, and the 17-line settings file.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace zentavo {

struct Settings {
  std::string smtpHost;              // Edit3  "送信(SMTP)サーバ"
  std::string smtpPort = "25";       // Edit4
  std::string popHost;               // Edit6  "受信(POP)サーバ"
  std::string popPort = "110";       // Edit7
  std::string user;                  // Edit8  "ユーザ"
  std::string password;              // MaskEdit1 "パスワード"
  std::string senderName;            // Edit10 "送信者"
  std::string senderAddress;         // Edit11 "E-メール"
  std::string lastMailNo;            // the last MailNo used, decimal text
  int startupScreen = 0;             // RadioGroup1: 0 "表示", 1 "非表示"
  std::string programLabel;          // Edit12 "プログラム表記"
  std::string banner;                // Panel5, the label as shown at the top
  bool splitSend = false;            // CheckBox7 "分割有"
  std::string splitLabel;            // Label4 on the send page
  int splitSize = 30;                // SpinEdit1, 2..9999
  bool confirmSplit = false;         // CheckBox8
  std::string identifierSetting;     // Edit14 "メール識別文字変更"
  std::string identifier;            // Edit13, the identifier the send page uses
  std::int32_t LastSeenCount = 0;    // server messages already received

  Settings();
};

inline constexpr int kSplitSizeMin = 2;
inline constexpr int kSplitSizeMax = 9999;

// "分割有" clicked: the split label and the size box follow the box.
void SetSplitSend(Settings& settings, bool on);
// The spin box's clamp to 2..9999.
int ClampSplitSize(long long value);

// Reads the settings file into `settings`. Never fails visibly: a missing
// file or a damaged line stops the reading there and defaults fill the rest.
void LoadSettings(const std::filesystem::path& file, Settings& settings);

// Writes all 17 lines. Throws FileError on failure (callers decide whether
// to report it); the old file then stays as it was.
void SaveSettings(const std::filesystem::path& file, const Settings& settings);

// The two "反映" buttons: label to banner, identifier setting to the send page.
void ApplyProgramLabel(Settings& settings);
void ApplyIdentifier(Settings& settings);

// Parses a decimal integer ("+12", "-3"); false for anything else or a value
// outside 32 bits.
bool ParseInt32(std::string_view text, std::int32_t& value);

}  // namespace zentavo
