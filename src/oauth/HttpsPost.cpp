#include "oauth/HttpsPost.h"
#include "text/Ascii.h"

#include <algorithm>
#include <chrono>

#include "net/MailConnection.h"

namespace zentavo {

namespace {

constexpr std::size_t kMostHeaderBytes = 64 * 1024;
constexpr int kMostHeaders = 200;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int HexValue(char c) {
  if (IsDigit(c)) return c - '0';
  c = LowerAscii(c);
  return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

// A port of one to five digits within 1-65535.
std::optional<std::uint16_t> PortNumber(std::string_view text) {
  if (text.empty() || text.size() > 5 || !std::all_of(text.begin(), text.end(), IsDigit)) return std::nullopt;
  const unsigned value = static_cast<unsigned>(std::stoul(std::string(text)));
  if (value < 1 || value > 65535) return std::nullopt;
  return static_cast<std::uint16_t>(value);
}

bool HostName(std::string_view host) {
  return !host.empty() && std::all_of(host.begin(), host.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || IsDigit(c) || c == '.' || c == '-';
  });
}

bool Ipv6Text(std::string_view host) {
  return host.find(':') != std::string_view::npos &&
         std::all_of(host.begin(), host.end(), [](char c) { return HexValue(c) >= 0 || c == ':' || c == '.'; });
}

}  // namespace

std::optional<Url> ParseUrl(std::string_view text) {
  if (text.empty() || !std::all_of(text.begin(), text.end(), [](char c) { return c > ' ' && c < 0x7F; }) ||
      text.find('#') != std::string_view::npos)
    return std::nullopt;
  const std::size_t colon = text.find("://");
  if (colon == std::string_view::npos) return std::nullopt;
  Url url;
  url.scheme = LowerAscii(text.substr(0, colon));
  if (url.scheme != "https" && url.scheme != "http") return std::nullopt;
  const std::string_view rest = text.substr(colon + 3);
  const std::size_t end = std::min(rest.find_first_of("/?"), rest.size());
  const std::string_view authority = rest.substr(0, end);
  url.target = std::string(rest.substr(end));
  if (url.target.empty() || url.target.front() == '?') url.target.insert(0, "/");
  if (authority.find('@') != std::string_view::npos) return std::nullopt;

  std::string_view port;
  if (!authority.empty() && authority.front() == '[') {
    const std::size_t close = authority.find(']');
    if (close == std::string_view::npos || !Ipv6Text(authority.substr(1, close - 1))) return std::nullopt;
    url.host = LowerAscii(authority.substr(1, close - 1));
    const std::string_view after = authority.substr(close + 1);
    if (!after.empty() && (after.front() != ':' || after.size() == 1)) return std::nullopt;
    port = after.empty() ? after : after.substr(1);
  } else {
    const std::size_t at = authority.find(':');
    url.host = LowerAscii(authority.substr(0, at));
    if (!HostName(url.host)) return std::nullopt;
    if (at != std::string_view::npos) {
      port = authority.substr(at + 1);
      if (port.empty()) return std::nullopt;
    }
  }
  if (port.empty()) {
    url.port = url.scheme == "https" ? 443 : 80;
  } else if (const std::optional<std::uint16_t> number = PortNumber(port)) {
    url.port = *number;
  } else {
    return std::nullopt;
  }
  return url;
}

std::string Authority(const Url& url) {
  std::string text = url.host.find(':') != std::string::npos ? "[" + url.host + "]" : url.host;
  if (url.port != (url.scheme == "https" ? 443 : 80)) text += ":" + std::to_string(url.port);
  return text;
}

std::string PercentEncode(std::string_view bytes) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(bytes.size());
  for (const char c : bytes) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || IsDigit(c) || c == '-' || c == '.' || c == '_' ||
        c == '~') {
      out += c;
    } else {
      const auto byte = static_cast<unsigned char>(c);
      out += '%';
      out += kHex[byte >> 4];
      out += kHex[byte & 0x0F];
    }
  }
  return out;
}

std::string FormBody(const FormFields& fields) {
  std::string body;
  for (const auto& [name, value] : fields) {
    if (!body.empty()) body += '&';
    body += PercentEncode(name) + "=" + PercentEncode(value);
  }
  return body;
}

std::optional<std::string> PercentDecode(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '+') {
      out += ' ';
    } else if (text[i] != '%') {
      out += text[i];
    } else {
      if (i + 2 >= text.size()) return std::nullopt;
      const int high = HexValue(text[i + 1]), low = HexValue(text[i + 2]);
      if (high < 0 || low < 0) return std::nullopt;
      out += static_cast<char>(high * 16 + low);
      i += 2;
    }
  }
  return out;
}

namespace {

// The answer's bytes as lines and counted pieces, read as they are needed.
class ResponseReader {
 public:
  explicit ResponseReader(const std::function<std::size_t(char*, std::size_t)>& receive) : receive_(receive) {}

  // One line without its line end (CR LF, or LF alone as old servers send);
  // HttpError when the connection ends first or the line passes `limit`.
  std::string Line(std::size_t limit) {
    for (;;) {
      if (const std::size_t end = buffer_.find('\n'); end != std::string::npos) {
        std::string line = buffer_.substr(0, end);
        buffer_.erase(0, end + 1);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        return line;
      }
      if (buffer_.size() > limit) throw HttpError("a line of the answer is too long");
      if (!Fill()) throw HttpError("the connection ended in the middle of the answer's head");
    }
  }

  // Exactly `size` bytes.
  std::string Take(std::size_t size) {
    while (buffer_.size() < size)
      if (!Fill()) throw HttpError("the connection ended before the whole body came");
    std::string piece = buffer_.substr(0, size);
    buffer_.erase(0, size);
    return piece;
  }

  // Everything up to the end of the connection, at most `limit` bytes.
  std::string Rest(std::size_t limit) {
    while (Fill())
      if (buffer_.size() > limit) throw HttpError("the body is larger than " + std::to_string(limit) + " bytes");
    return std::move(buffer_);
  }

 private:
  bool Fill() {
    char chunk[16 * 1024];
    const std::size_t got = receive_(chunk, sizeof chunk);
    buffer_.append(chunk, got);
    return got > 0;
  }

  const std::function<std::size_t(char*, std::size_t)>& receive_;
  std::string buffer_;
};

struct ResponseHead {
  int status = 0;
  std::optional<std::size_t> contentLength;
  bool chunked = false;
};

int StatusOf(const std::string& line) {
  // "HTTP/1.1 200 OK": the reason may be empty, even without its blank.
  if (line.size() < 12 || line.compare(0, 7, "HTTP/1.") != 0 || !IsDigit(line[7]) || line[8] != ' ' ||
      !std::all_of(line.begin() + 9, line.begin() + 12, IsDigit) || (line.size() > 12 && line[12] != ' '))
    throw HttpError("not an HTTP/1 status line");
  return std::stoi(line.substr(9, 3));
}

void ReadHeader(const std::string& line, ResponseHead& head) {
  const std::size_t colon = line.find(':');
  if (colon == std::string::npos || colon == 0 || line[0] == ' ' || line[0] == '\t')
    throw HttpError("a malformed header line");
  const std::string name = LowerAscii(std::string_view(line).substr(0, colon));
  std::string_view value = std::string_view(line).substr(colon + 1);
  while (!value.empty() && (value.front() == ' ' || value.front() == '\t')) value.remove_prefix(1);
  while (!value.empty() && (value.back() == ' ' || value.back() == '\t')) value.remove_suffix(1);
  if (name == "content-length") {
    if (value.empty() || value.size() > 15 || !std::all_of(value.begin(), value.end(), IsDigit))
      throw HttpError("a malformed Content-Length");
    const std::size_t length = std::stoull(std::string(value));
    if (head.contentLength && *head.contentLength != length) throw HttpError("two different Content-Lengths");
    head.contentLength = length;
  } else if (name == "transfer-encoding") {
    // Only "chunked" is asked for (no TE header goes out), so any other
    // coding is a body this reader cannot take apart.
    if (LowerAscii(value) != "chunked") throw HttpError("an unexpected Transfer-Encoding");
    head.chunked = true;
  }
}

ResponseHead ReadHead(ResponseReader& reader) {
  for (;;) {
    ResponseHead head;
    head.status = StatusOf(reader.Line(kMostHeaderBytes));
    std::size_t bytes = 0;
    int count = 0;
    for (std::string line = reader.Line(kMostHeaderBytes); !line.empty(); line = reader.Line(kMostHeaderBytes)) {
      bytes += line.size();
      if (bytes > kMostHeaderBytes || ++count > kMostHeaders) throw HttpError("the answer's head is too large");
      ReadHeader(line, head);
    }
    if (head.status == 101) throw HttpError("the server switched protocols");
    // "100 Continue" and the like come before the real answer.
    if (head.status >= 200) return head;
  }
}

std::string ReadChunked(ResponseReader& reader, std::size_t maxBody) {
  std::string body;
  for (;;) {
    std::string line = reader.Line(1024);
    line = line.substr(0, line.find(';'));  // chunk extensions are ignored
    while (!line.empty() && (line.back() == ' ' || line.back() == '\t')) line.pop_back();
    if (line.empty() || line.size() > 8 ||
        !std::all_of(line.begin(), line.end(), [](char c) { return HexValue(c) >= 0; }))
      throw HttpError("a malformed chunk size");
    const std::size_t size = std::stoul(line, nullptr, 16);
    if (size == 0) break;
    if (size > maxBody - body.size()) throw HttpError("the body is larger than " + std::to_string(maxBody) + " bytes");
    body += reader.Take(size);
    if (!reader.Line(1024).empty()) throw HttpError("a chunk longer than its size");
  }
  for (int trailers = 0; !reader.Line(kMostHeaderBytes).empty();)
    if (++trailers > kMostHeaders) throw HttpError("too many trailers");
  return body;
}

}  // namespace

HttpResponse ReadHttpResponse(const std::function<std::size_t(char*, std::size_t)>& receive, std::size_t maxBody) {
  ResponseReader reader(receive);
  const ResponseHead head = ReadHead(reader);
  HttpResponse response{head.status, {}};
  if (head.status == 204 || head.status == 304) return response;
  if (head.chunked) {
    response.body = ReadChunked(reader, maxBody);
  } else if (head.contentLength) {
    if (*head.contentLength > maxBody) throw HttpError("the body is larger than " + std::to_string(maxBody) + " bytes");
    response.body = reader.Take(*head.contentLength);
  } else {
    response.body = reader.Rest(maxBody);
  }
  return response;
}

HttpResponse PostForm(const std::string& address, const FormFields& fields, const HttpOptions& options) {
  const std::optional<Url> url = ParseUrl(address);
  if (!url) throw MailServerError("\"" + address + "\" is not an http URL");
  if (url->scheme != "https" && !options.plainHttpForTests)
    throw MailServerError("refusing to send to " + Authority(*url) + " without TLS");
  MailConnection connection(url->host, url->port, options.connectMs, options.replyMs);
  if (url->scheme == "https") {
    try {
      connection.StartTls({});
    } catch (const MailServerError& e) {
      // Without the certificate: whoever catches this must not offer the
      // operator to trust it, as a mail server's may be.
      throw MailServerError(e.what(), e.notice);
    }
  }
  const std::string body = FormBody(fields);
  connection.Send("POST " + url->target + " HTTP/1.1\r\nHost: " + Authority(*url) +
                  "\r\nContent-Type: application/x-www-form-urlencoded\r\nContent-Length: " +
                  std::to_string(body.size()) + "\r\nAccept: application/json\r\nConnection: close\r\n\r\n" + body);
  // Each wait is bounded by replyMs; the whole answer is too, so that a
  // server sending a byte at a time cannot hold the sign-in for ever.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(options.replyMs);
  const std::function<std::size_t(char*, std::size_t)> receive = [&](char* buffer, std::size_t size) {
    if (std::chrono::steady_clock::now() > deadline) throw MailServerError("time-out waiting for the whole answer");
    return connection.Receive(buffer, size);
  };
  try {
    return ReadHttpResponse(receive, options.maxBody);
  } catch (const HttpError& e) {
    throw MailServerError("the answer of " + connection.Server() + " cannot be read: " + e.what());
  }
}

}  // namespace zentavo
