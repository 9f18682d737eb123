#include "oauth/TokenStore.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

#include "base/DiagnosticLog.h"
#include "oauth/DesktopKeyring.h"
#include "oauth/HttpsPost.h"
#include "store/TextFile.h"
#include "text/SjisUnicode.h"

namespace fs = std::filesystem;

namespace zentavo {

namespace {

KeyringEntry EntryOf(const TokenKey& key) { return {SjisToUtf8(key.account), key.tokenUrl}; }

std::string Line(const std::pair<std::string, std::string>& key, const std::string& token) {
  return PercentEncode(key.first) + " " + PercentEncode(key.second) + " " + PercentEncode(token) + "\n";
}

}  // namespace

TokenStore::TokenStore(fs::path configFolder, KeyringUse keyring)
    : folder_(std::move(configFolder)), keyring_(keyring) {}

fs::path TokenStore::DefaultConfigFolder() {
  // The XDG base directory rules: a relative XDG_CONFIG_HOME is to be
  // ignored.
  if (const char* config = std::getenv("XDG_CONFIG_HOME"); config && *config == '/')
    return fs::path(config) / "zentavo";
  const char* home = std::getenv("HOME");
  if (!home || !*home) {
    const passwd* user = getpwuid(getuid());
    home = user ? user->pw_dir : "/";
  }
  return fs::path(home) / ".config" / "zentavo";
}

bool TokenStore::KeyringAvailable() {
  if (keyring_ == KeyringUse::None) return false;
  std::lock_guard lock(mutex_);
  std::string why;
  const bool available = DesktopKeyring::Available(why);
  if (!available) LogDiagnostic("desktop keyring not available: " + why);
  return available;
}

TokenStore::Tokens TokenStore::ReadFile() const {
  Tokens tokens;
  std::error_code ec;
  if (!fs::exists(TokenFile(), ec)) return tokens;
  for (const std::string& line : SplitLines(ReadFileBytes(TokenFile()))) {
    const std::size_t first = line.find(' '), second = line.find(' ', first + 1);
    if (first == std::string::npos || second == std::string::npos) continue;
    const auto account = PercentDecode(line.substr(0, first));
    const auto url = PercentDecode(line.substr(first + 1, second - first - 1));
    const auto token = PercentDecode(line.substr(second + 1));
    if (account && url && token) tokens[{*account, *url}] = *token;
  }
  return tokens;
}

bool TokenStore::WriteFile(const Tokens& tokens) const {
  std::string bytes;
  for (const auto& [key, token] : tokens) bytes += Line(key, token);
  if (bytes.empty()) {
    fs::remove(TokenFile());
    return true;
  }
  // Only the operator may read the folder and the file; the atomic writer
  // creates its file 0600, and an older file's mode is put right after.
  fs::create_directories(folder_);
  fs::permissions(folder_, fs::perms::owner_all, fs::perm_options::replace);
  WriteFileAtomic(TokenFile(), bytes);
  fs::permissions(TokenFile(), fs::perms::owner_read | fs::perms::owner_write, fs::perm_options::replace);
  return true;
}

// Puts the token into the file (nullptr: takes it out). False when the
// file could not be written; the reason goes to the diagnostic log.
bool TokenStore::KeepInFile(const TokenKey& key, const std::string* token) {
  try {
    Tokens tokens = ReadFile();
    const std::pair<std::string, std::string> entry{SjisToUtf8(key.account), key.tokenUrl};
    if (!token && !tokens.contains(entry)) return true;
    if (token) {
      tokens[entry] = *token;
    } else {
      tokens.erase(entry);
    }
    return WriteFile(tokens);
  } catch (const FileError& e) {
    LogDiagnostic(std::string("the sign-in's token file: ") + e.what());
  } catch (const fs::filesystem_error& e) { LogDiagnostic(std::string("the sign-in's token file: ") + e.what()); }
  return false;
}

TokenPlace TokenStore::Keep(const TokenKey& key, const std::string& token, TokenPlace wanted) {
  std::lock_guard lock(mutex_);
  TokenPlace place = wanted;
  std::string why;
  if (wanted == TokenPlace::Keyring &&
      (keyring_ == KeyringUse::None || !DesktopKeyring::Store(EntryOf(key), token, why))) {
    LogDiagnostic("the refresh token is kept for this session only: " +
                  (keyring_ == KeyringUse::None ? std::string("the keyring is not used") : why));
    place = TokenPlace::Session;
  }
  if (wanted == TokenPlace::File && !KeepInFile(key, &token)) place = TokenPlace::Session;
  // One place at a time: a token left behind elsewhere would outlive a
  // sign-out that looked only where the token was last.
  if (place != TokenPlace::Keyring && keyring_ == KeyringUse::Desktop) DesktopKeyring::Clear(EntryOf(key), why);
  if (place != TokenPlace::File) KeepInFile(key, nullptr);
  if (place == TokenPlace::Session) {
    session_[{key.account, key.tokenUrl}] = token;
  } else {
    session_.erase({key.account, key.tokenUrl});
  }
  return place;
}

std::optional<StoredToken> TokenStore::Load(const TokenKey& key) {
  std::lock_guard lock(mutex_);
  std::string why;
  if (keyring_ == KeyringUse::Desktop)
    if (std::optional<std::string> token = DesktopKeyring::Lookup(EntryOf(key), why))
      return StoredToken{std::move(*token), TokenPlace::Keyring};
  try {
    const Tokens file = ReadFile();
    if (const auto found = file.find({SjisToUtf8(key.account), key.tokenUrl}); found != file.end())
      return StoredToken{found->second, TokenPlace::File};
  } catch (const FileError& e) { LogDiagnostic(std::string("the sign-in's token file: ") + e.what()); }
  if (const auto found = session_.find({key.account, key.tokenUrl}); found != session_.end())
    return StoredToken{found->second, TokenPlace::Session};
  return std::nullopt;
}

void TokenStore::Remove(const TokenKey& key) {
  std::lock_guard lock(mutex_);
  std::string why;
  if (keyring_ == KeyringUse::Desktop && !DesktopKeyring::Clear(EntryOf(key), why))
    LogDiagnostic("signing out: " + why);
  KeepInFile(key, nullptr);
  session_.erase({key.account, key.tokenUrl});
}

}  // namespace zentavo
