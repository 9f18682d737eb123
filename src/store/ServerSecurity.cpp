#include "store/ServerSecurity.h"

#include <array>
#include <cctype>
#include <vector>

namespace zentavo {

namespace {

constexpr std::array<std::string_view, 4> kStored = {"AUTO", "NONE", "STARTTLS", "TLS"};

std::string_view Stored(Security s) { return kStored[static_cast<std::size_t>(s)]; }

bool Parse(std::string_view text, Security& s) {
  for (std::size_t i = 0; i < kStored.size(); ++i) {
    if (text == kStored[i]) {
      s = static_cast<Security>(i);
      return true;
    }
  }
  return false;
}

// "TAG,first,rest": the rest may hold commas.
bool Cut(std::string_view line, std::string_view& tag, std::string_view& first, std::string_view& rest) {
  const std::size_t a = line.find(',');
  if (a == std::string_view::npos) return false;
  tag = line.substr(0, a);
  line.remove_prefix(a + 1);
  const std::size_t b = line.find(',');
  first = line.substr(0, b);
  rest = b == std::string_view::npos ? std::string_view() : line.substr(b + 1);
  return true;
}

// The sign-in's lines: "AUTH,<method>" and "OAUTH_<field>,<value>" (the
// value last: a URL or a scope list may hold commas).
constexpr std::array<std::string_view, 4> kMethods = {"PASSWORD", "MICROSOFT", "GOOGLE", "MANUAL"};

std::array<std::pair<std::string_view, std::string OAuthSettings::*>, 6> OAuthFields() {
  return {{{"OAUTH_CLIENT_ID", &OAuthSettings::clientId},
           {"OAUTH_TENANT", &OAuthSettings::tenant},
           {"OAUTH_CLIENT_SECRET", &OAuthSettings::clientSecret},
           {"OAUTH_AUTHORIZE_URL", &OAuthSettings::authorizeUrl},
           {"OAUTH_TOKEN_URL", &OAuthSettings::tokenUrl},
           {"OAUTH_SCOPE", &OAuthSettings::scope}}};
}

void ReadOAuthLine(std::string_view tag, std::string_view value, OAuthSettings& oauth) {
  if (tag == "AUTH") {
    for (std::size_t i = 0; i < kMethods.size(); ++i)
      if (value == kMethods[i]) oauth.method = static_cast<AuthMethod>(i);
    return;
  }
  for (const auto& [name, field] : OAuthFields())
    if (tag == name) oauth.*field = value;
}

}  // namespace

std::string ServerKey(std::string_view protocol, std::string_view host, std::string_view port) {
  std::string key(protocol);
  key += ' ';
  for (const char c : host) key += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  key += ':';
  key += port;
  return key;
}

ReadResult LoadServerSecurity(const std::filesystem::path& file, ServerSecurity& security) {
  const StoredFile read = ReadStoredFile(file);
  for (const auto& line : read.lines) {
    std::string_view tag, first, rest;
    if (!Cut(line, tag, first, rest)) continue;
    if (tag == "SMTP") {
      Parse(first, security.smtp);
    } else if (tag == "POP3") {
      Parse(first, security.pop3);
    } else if (tag == "TRUST" && !rest.empty()) {
      security.trusted[std::string(rest)] = std::string(first);
    } else if (tag == "SEEN") {
      security.tlsSeen.insert(line.substr(5));
    } else {
      ReadOAuthLine(tag, line.substr(tag.size() + 1), security.oauth);
    }
  }
  return read.result;
}

void SaveServerSecurity(const std::filesystem::path& file, const ServerSecurity& security) {
  std::vector<std::string> lines{"SMTP," + std::string(Stored(security.smtp)),
                                 "POP3," + std::string(Stored(security.pop3))};
  // The fingerprint first: it never holds a comma, the server key might.
  for (const auto& [key, fingerprint] : security.trusted) lines.push_back("TRUST," + fingerprint + "," + key);
  for (const auto& key : security.tlsSeen) lines.push_back("SEEN," + key);
  // A password login, as it always was, adds nothing.
  if (security.oauth != OAuthSettings{}) {
    lines.push_back("AUTH," + std::string(kMethods[static_cast<std::size_t>(security.oauth.method)]));
    for (const auto& [name, field] : OAuthFields()) lines.push_back(std::string(name) + "," + security.oauth.*field);
  }
  WriteStoredFile(file, lines);
}

}  // namespace zentavo
