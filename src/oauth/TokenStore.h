// Where the refresh token of a sign-in lives between runs: in the desktop
// keyring, never in the data folder (which offices copy, share and back
// up) and never in the diagnostic log. Without a keyring it lives only as
// long as the program runs, unless the operator chose to keep it in a file
// that only they may read, in their own configuration folder.
#pragma once

#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <utility>

namespace zentavo {

enum class TokenPlace {
  Keyring,  // the desktop keyring
  File,     // the operator's choice: a file of mode 0600 in the configuration folder
  Session,  // in memory, until the program ends
};

// Whose token: the account (the settings' user name, Shift_JIS) signed in
// at a token endpoint.
struct TokenKey {
  std::string account;
  std::string tokenUrl;
};

struct StoredToken {
  std::string token;
  TokenPlace place = TokenPlace::Session;
};

// Whether to use the desktop's keyring: the tests of anything else leave
// the user's keyring alone.
enum class KeyringUse { Desktop, None };

// Safe to use from several threads at once.
class TokenStore {
 public:
  explicit TokenStore(std::filesystem::path configFolder = DefaultConfigFolder(),
                      KeyringUse keyring = KeyringUse::Desktop);

  // $XDG_CONFIG_HOME/zentavo, by default ~/.config/zentavo.
  static std::filesystem::path DefaultConfigFolder();
  // The file of TokenPlace::File.
  std::filesystem::path TokenFile() const { return folder_ / "oauth-refresh-tokens"; }

  // Whether the keyring can take a token now without asking anyone. Asked
  // afresh each time: the operator may have unlocked it meanwhile.
  bool KeyringAvailable();

  // Keeps the token at `wanted`, or for the session when that place cannot
  // take it (the reason goes to the diagnostic log), and removes it from
  // the other places. Returns where it went.
  TokenPlace Keep(const TokenKey& key, const std::string& token, TokenPlace wanted = TokenPlace::Keyring);

  // The token, looked for in the keyring, the file and the session's.
  std::optional<StoredToken> Load(const TokenKey& key);

  // Signing out: the token goes from every place.
  void Remove(const TokenKey& key);

 private:
  using Tokens = std::map<std::pair<std::string, std::string>, std::string>;
  Tokens ReadFile() const;
  bool WriteFile(const Tokens& tokens) const;
  bool KeepInFile(const TokenKey& key, const std::string* token);

  std::mutex mutex_;
  std::filesystem::path folder_;
  KeyringUse keyring_;
  Tokens session_;
};

}  // namespace zentavo
