// The little HTTP the sign-in needs: a form POSTed to a token endpoint over
// HTTPS, and the answer read back. One request per connection, every wait
// bounded, the answer's size bounded, and TLS checked as strictly as for
// the mail servers, except that there is no trusting a certificate by hand:
// a token endpoint whose certificate does not verify is never spoken to.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace zentavo {

struct Url {
  std::string scheme;  // "https" or "http", lower case
  std::string host;    // lower case; an IPv6 address without its brackets
  std::uint16_t port = 0;
  std::string target;  // path and query, "/" at least
};

// An absolute http or https URL, or nothing when it is anything else or
// anything more: user information, a fragment, a blank, a byte outside
// printable ASCII, a port that is not 1-65535.
std::optional<Url> ParseUrl(std::string_view text);

// "host", "host:port" when the port is not the scheme's own, IPv6 in
// brackets: as the Host header and a redirect URI write it.
std::string Authority(const Url& url);

using FormFields = std::vector<std::pair<std::string, std::string>>;

// RFC 3986 percent-encoding: only the unreserved characters stay as they
// are, every other byte becomes %XX (upper-case hex).
std::string PercentEncode(std::string_view bytes);
// "name=value&..." with both sides percent-encoded, in the given order.
std::string FormBody(const FormFields& fields);
// "%XX" decoded and "+" read as a blank; nothing when a "%" is not followed
// by two hex digits.
std::optional<std::string> PercentDecode(std::string_view text);

struct HttpResponse {
  int status = 0;
  std::string body;
};

struct HttpOptions {
  int connectMs = 15000;
  int replyMs = 30000;
  std::size_t maxBody = 1 << 20;
  // Plain http, for the tests of the client's reading alone. The program
  // never sets it.
  bool plainHttpForTests = false;
};

// The error of an answer that cannot be read as HTTP; what() names the
// fault, never the body.
struct HttpError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// Reads one HTTP/1.1 response from `receive` (which returns up to `size`
// bytes, 0 at the end of the connection, as MailConnection::Receive does):
// interim 1xx answers skipped, the body by Content-Length, chunked, or up
// to the end of the connection. Throws HttpError for a malformed answer,
// one cut short, or a body over `maxBody`.
HttpResponse ReadHttpResponse(const std::function<std::size_t(char*, std::size_t)>& receive, std::size_t maxBody);

// POSTs the form to `url` (https) and returns the answer, whatever its
// status. Throws MailServerError when the server cannot be reached, its
// certificate does not verify for its name, or the answer is not HTTP.
HttpResponse PostForm(const std::string& url, const FormFields& fields, const HttpOptions& options = {});

}  // namespace zentavo
