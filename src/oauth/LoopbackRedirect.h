// Where the browser brings the authorization server's answer (RFC 8252,
// loopback redirect): a listener on 127.0.0.1 on a port the system picks,
// for the one request on the redirect path. The browser's other requests
// (its icon, a look ahead) get "404" and are otherwise ignored.
#pragma once

#include <Poco/Net/ServerSocket.h>
#include <Poco/Net/StreamSocket.h>

#include <atomic>
#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace zentavo {

// A request as far as the redirect cares: its method, its path and the
// query's parameters, decoded.
struct RedirectRequest {
  std::string method, path;
  std::map<std::string, std::string> params;
};

// The request line of an HTTP request head; nothing when it is malformed
// or names a parameter twice (an answer cannot have two states).
std::optional<RedirectRequest> ParseRedirectRequest(std::string_view head);

class LoopbackRedirect {
 public:
  static constexpr std::string_view kPath = "/signin";

  // Throws Poco::Exception when no port can be had.
  LoopbackRedirect();
  LoopbackRedirect(const LoopbackRedirect&) = delete;
  LoopbackRedirect& operator=(const LoopbackRedirect&) = delete;

  // "http://127.0.0.1:PORT/signin"
  std::string RedirectUri() const;

  // The parameters the browser brought to the path, or nothing once
  // `deadline` has passed or `cancel` (checked a few times a second) is
  // set. The browser's connection stays open for Answer.
  std::optional<std::map<std::string, std::string>> Await(std::chrono::steady_clock::time_point deadline,
                                                          const std::atomic<bool>* cancel);

  // Tells the user in the browser (in Japanese) whether the sign-in went
  // through, and that the window may be closed.
  void Answer(bool signedIn);

 private:
  Poco::Net::ServerSocket listener_;
  std::optional<Poco::Net::StreamSocket> browser_;
};

}  // namespace zentavo
