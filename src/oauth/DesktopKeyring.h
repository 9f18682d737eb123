// The desktop's keyring (the Secret Service on the session bus, as GNOME's
// and KDE's keyrings provide it), used only where it can answer at once:
// with no session bus, no keyring on it, or a keyring that is locked and
// would ask for its password, it is "not available" rather than a wait on
// a prompt that may never be answered. Every call is bounded by a few
// seconds.
#pragma once

#include <optional>
#include <string>

namespace zentavo {

// One secret of the program: the refresh token of an account at a token
// endpoint (both UTF-8).
struct KeyringEntry {
  std::string account;
  std::string tokenUrl;
};

class DesktopKeyring {
 public:
  // Whether a secret could be stored now without asking anyone; `why` gets
  // the reason when not (for the diagnostic log).
  static bool Available(std::string& why);
  // False (with `why`) when the keyring is not available or refused it.
  static bool Store(const KeyringEntry& entry, const std::string& secret, std::string& why);
  // The secret, or nothing (not there, or no keyring: `why` says which).
  static std::optional<std::string> Lookup(const KeyringEntry& entry, std::string& why);
  // Removes the secret wherever it is unlocked; false when the keyring
  // could not be asked.
  static bool Clear(const KeyringEntry& entry, std::string& why);
};

}  // namespace zentavo
