// How the program talks to each mail server: in clear, upgraded by
// STARTTLS (STLS for POP3), or under TLS from the first byte; which servers
// have offered TLS before (they are never spoken to in clear again); the
// certificates the operator chose to trust for a server of their own; and
// how it logs in (password or OAuth 2.0).
//
// Kept in a file of its own beside the settings file (the program's name
// with ".sec", enciphered line by line like every data file), so that the
// 17-line settings file stays as every other copy of the program reads it.
#pragma once

#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <string_view>

#include "store/StoredFile.h"

namespace zentavo {

enum class Security {
  Automatic,  // by the port: 465/995 TLS, 587 STARTTLS, else STARTTLS when the server offers it
  None,       // "なし": in clear
  StartTls,   // "STARTTLS": upgraded before anything else is said, or no session
  Tls,        // "SSL/TLS": TLS from the first byte
};

// How the program logs in: with the password, or with an OAuth 2.0 sign-in
// at one of the two providers offices use or at endpoints typed by hand.
enum class AuthMethod { Password, Microsoft, Google, Manual };

// "認証方式" as the settings page lists it, in the order of the enum.
inline constexpr std::string_view kAuthMethodCaptions[] = {"パスワード", "OAuth 2.0 (Microsoft 365)",
                                                           "OAuth 2.0 (Google)", "OAuth 2.0 (手動設定)"};

// What the sign-in needs. The client id (and the secret of Google's desktop
// clients, which is no secret) are the office's registration of the
// program with the provider; the endpoints and scopes are the provider's,
// typed only for "手動設定". Tokens never live here.
struct OAuthSettings {
  AuthMethod method = AuthMethod::Password;
  std::string clientId;
  std::string tenant = "organizations";  // Microsoft's directory
  std::string clientSecret;
  std::string authorizeUrl, tokenUrl, scope;  // "手動設定"
  bool operator==(const OAuthSettings&) const = default;
};

struct ServerSecurity {
  Security smtp = Security::Automatic;
  Security pop3 = Security::Automatic;
  // Server key -> SHA-256 fingerprint ("AB:CD:...") of a certificate the
  // operator trusted although it could not be verified.
  std::map<std::string, std::string> trusted;
  // Server keys of servers that offered TLS once.
  std::set<std::string> tlsSeen;
  OAuthSettings oauth;
};

// "smtp host:port" or "pop3 host:port", the host in lower case.
std::string ServerKey(std::string_view protocol, std::string_view host, std::string_view port);

// The choices as the settings page lists them, in the order of the enum.
inline constexpr std::string_view kSecurityCaptions[] = {"自動", "なし", "STARTTLS", "SSL/TLS"};

// Reads the file; a missing file leaves the defaults (automatic, nothing
// trusted or seen). Lines that cannot be read end the reading, as for every
// data file, and unknown lines are skipped.
ReadResult LoadServerSecurity(const std::filesystem::path& file, ServerSecurity& security);

// Replaces the file atomically. Throws FileError.
void SaveServerSecurity(const std::filesystem::path& file, const ServerSecurity& security);

}  // namespace zentavo
