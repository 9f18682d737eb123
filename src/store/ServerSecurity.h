// How the program talks to each mail server: in clear, upgraded by
// STARTTLS (STLS for POP3), or under TLS from the first byte; which servers
// have offered TLS before (they are never spoken to in clear again); and the
// certificates the operator chose to trust for a server of their own.
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

struct ServerSecurity {
  Security smtp = Security::Automatic;
  Security pop3 = Security::Automatic;
  // Server key -> SHA-256 fingerprint ("AB:CD:...") of a certificate the
  // operator trusted although it could not be verified.
  std::map<std::string, std::string> trusted;
  // Server keys of servers that offered TLS once.
  std::set<std::string> tlsSeen;
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
