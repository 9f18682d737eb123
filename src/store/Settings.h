// The operator's system settings and the two counters kept with them, as the
// "システム設定" page shows them, and the 17-line settings file.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "store/SeenMail.h"
#include "store/ServerSecurity.h"
#include "store/StoredFile.h"

namespace zentavo {

class AccessTokenSource;

struct Settings {
  std::string smtpHost;         // "送信(SMTP)サーバ"
  std::string smtpPort = "25";  // decimal text
  std::string popHost;          // "受信(POP)サーバ"
  std::string popPort = "110";  // decimal text
  std::string user;             // one account for SMTP and POP3
  std::string password;
  std::string senderName;          // "送信者"
  std::string senderAddress;       // "E-メール"
  std::string lastMailNo;          // the last MailNo used, decimal text
  int startupScreen = 0;           // "起動画面": 0 "表示", 1 "非表示"
  std::string programLabel;        // "プログラム表記" as typed
  std::string banner;              // the label the window's banner shows ("反映" copies it)
  bool splitSend = false;          // "分割有"
  std::string splitIndicator;      // the send page's "分割：無" / "分割:有" / "分割:無"
  int splitSize = 30;              // people per message, 2..9999
  bool confirmSplit = false;       // "分割送信時、確認画面を表示する"
  std::string identifierSetting;   // "メール識別文字変更" as typed
  std::string identifier;          // the identifier subjects carry ("反映" copies it)
  std::int32_t lastSeenCount = 0;  // server messages already received
  // Kept in a file of its own (store/ServerSecurity.h), never in the
  // 17-line settings file.
  ServerSecurity security;
  // The messages "未受信受信" has read, by unique id (store/SeenMail.h).
  SeenMail seen;
  // While the program runs, with an OAuth 2.0 sign-in: where the sessions
  // get their access tokens. Never stored (tokens live in the keyring).
  std::shared_ptr<AccessTokenSource> tokens;

  Settings();
};

inline constexpr int kSplitSizeMin = 2;
inline constexpr int kSplitSizeMax = 9999;

// No server is set yet (a first start): there is nothing to check or send.
bool NoServerConfigured(const Settings& settings);

// "分割有" clicked: the split label and the size box follow the box. False
// when split sending already stood so (a box shown, not changed).
bool SetSplitSend(Settings& settings, bool on);
// The spin box's clamp to 2..9999.
int ClampSplitSize(long long value);

// Reads the settings file into `settings`. Never fails visibly: a missing
// file or a damaged line stops the reading there and defaults fill the rest
// (a damaged file is then protected from being written back shorter).
ReadResult LoadSettings(const std::filesystem::path& file, Settings& settings);

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
