#include "oauth/LoopbackRedirect.h"

#include <Poco/Exception.h>
#include <Poco/Net/SocketAddress.h>
#include <Poco/Timespan.h>
#include <sys/socket.h>

#include <vector>

#include "oauth/HttpsPost.h"

namespace zentavo {

namespace {

constexpr std::size_t kMostHeadBytes = 16 * 1024;
constexpr std::size_t kMostVisitors = 16;
// A browser may open a connection ahead and send nothing on it for a while;
// such a one is closed after this long, so it never holds up the one that
// brings the answer.
constexpr std::chrono::seconds kIdleVisitor{10};
constexpr std::chrono::milliseconds kPollSlice{200};

// A connection from the browser whose request has not all come yet.
struct Visitor {
  Poco::Net::StreamSocket socket;
  std::string head;
  std::chrono::steady_clock::time_point since;
};

void Reply(Poco::Net::StreamSocket& socket, std::string_view status, const std::string& page) {
  const std::string response =
      "HTTP/1.1 " + std::string(status) +
      "\r\nContent-Type: text/html; charset=utf-8\r\nContent-Length: " + std::to_string(page.size()) +
      "\r\nCache-Control: no-store\r\nReferrer-Policy: no-referrer\r\nConnection: close\r\n\r\n" + page;
  try {
    socket.setSendTimeout(Poco::Timespan(5, 0));
    for (std::size_t sent = 0; sent < response.size();) {
      const int n = socket.sendBytes(response.data() + sent, static_cast<int>(response.size() - sent), MSG_NOSIGNAL);
      if (n <= 0) break;
      sent += static_cast<std::size_t>(n);
    }
    socket.shutdownSend();
    socket.close();
  } catch (const Poco::Exception&) {
    // The browser went away: nothing more to tell it.
  }
}

std::string Page(std::string_view text) {
  return "<!DOCTYPE html>\n<html lang=\"ja\"><head><meta charset=\"utf-8\"><title>Zentavo</title></head>"
         "<body><p>" +
         std::string(text) + "</p></body></html>\n";
}

// Reads what the visitor sent: its head is complete, more must come, or it
// is gone (closed, failed, or sent too much and was told so).
enum class Heard { More, Head, Gone };
Heard Listen(Visitor& visitor) {
  char buffer[4096];
  int got = 0;
  try {
    got = visitor.socket.receiveBytes(buffer, sizeof buffer);
  } catch (const Poco::Exception&) { return Heard::Gone; }
  if (got <= 0) return Heard::Gone;
  visitor.head.append(buffer, static_cast<std::size_t>(got));
  if (visitor.head.find("\r\n\r\n") != std::string::npos || visitor.head.find("\n\n") != std::string::npos)
    return Heard::Head;
  if (visitor.head.size() > kMostHeadBytes) {
    Reply(visitor.socket, "431 Request Header Fields Too Large", Page("Request too large"));
    return Heard::Gone;
  }
  return Heard::More;
}

}  // namespace

std::optional<RedirectRequest> ParseRedirectRequest(std::string_view head) {
  const std::string_view line = head.substr(0, head.find_first_of("\r\n"));
  const std::size_t first = line.find(' '), second = line.rfind(' ');
  if (first == std::string_view::npos || second <= first || line.substr(second + 1).substr(0, 7) != "HTTP/1.")
    return std::nullopt;
  const std::string_view target = line.substr(first + 1, second - first - 1);
  if (target.empty() || target.front() != '/') return std::nullopt;
  RedirectRequest request{std::string(line.substr(0, first)), std::string(target.substr(0, target.find('?'))), {}};
  std::string_view query = target.find('?') == std::string_view::npos ? "" : target.substr(target.find('?') + 1);
  while (!query.empty()) {
    const std::string_view pair = query.substr(0, query.find('&'));
    query.remove_prefix(std::min(query.size(), pair.size() + 1));
    if (pair.empty()) continue;
    const std::size_t eq = pair.find('=');
    const std::optional<std::string> name = PercentDecode(pair.substr(0, eq));
    const std::optional<std::string> value =
        PercentDecode(eq == std::string_view::npos ? std::string_view() : pair.substr(eq + 1));
    if (!name || !value || !request.params.emplace(*name, *value).second) return std::nullopt;
  }
  return request;
}

LoopbackRedirect::LoopbackRedirect() : listener_(Poco::Net::SocketAddress("127.0.0.1", 0), 16) {}

std::string LoopbackRedirect::RedirectUri() const {
  return "http://127.0.0.1:" + std::to_string(listener_.address().port()) + std::string(kPath);
}

std::optional<std::map<std::string, std::string>> LoopbackRedirect::Await(
    std::chrono::steady_clock::time_point deadline, const std::atomic<bool>* cancel) {
  std::vector<Visitor> visitors;
  while (std::chrono::steady_clock::now() < deadline && !(cancel && cancel->load())) {
    Poco::Net::Socket::SocketList readable{listener_}, writable, failed;
    for (const Visitor& visitor : visitors) readable.push_back(visitor.socket);
    Poco::Net::Socket::select(readable, writable, failed,
                              Poco::Timespan(std::chrono::microseconds(kPollSlice).count()));
    for (const Poco::Net::Socket& ready : readable) {
      if (ready == listener_) {
        if (visitors.size() >= kMostVisitors) visitors.erase(visitors.begin());
        visitors.push_back({listener_.acceptConnection(), {}, std::chrono::steady_clock::now()});
        continue;
      }
      const auto visitor =
          std::find_if(visitors.begin(), visitors.end(), [&](const Visitor& v) { return v.socket == ready; });
      if (visitor == visitors.end()) continue;
      const Heard heard = Listen(*visitor);
      if (heard == Heard::More) continue;
      if (heard == Heard::Head) {
        const std::optional<RedirectRequest> request = ParseRedirectRequest(visitor->head);
        if (request && request->method == "GET" && request->path == kPath) {
          browser_ = visitor->socket;
          return request->params;
        }
        Reply(visitor->socket, request ? "404 Not Found" : "400 Bad Request", Page("Not found"));
      }
      visitors.erase(visitor);
    }
    const auto now = std::chrono::steady_clock::now();
    std::erase_if(visitors, [&](const Visitor& v) { return now - v.since > kIdleVisitor; });
  }
  return std::nullopt;
}

void LoopbackRedirect::Answer(bool signedIn) {
  if (!browser_) return;
  Reply(*browser_, "200 OK",
        Page(signedIn ? "サインインしました。このウィンドウを閉じて、Zentavo に戻ってください。"
                      : "サインインできませんでした。このウィンドウを閉じて、Zentavo の表示を確認してください。"));
  browser_.reset();
}

}  // namespace zentavo
