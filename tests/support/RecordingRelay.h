// A TCP relay for the tests of TLS: it listens on 127.0.0.1 (a free port),
// joins every connection it takes to one server and copies the bytes both
// ways on its own thread, recording them on the way. A test points the
// client at the relay and then checks what crossed the wire in clear: that
// no password, nor its Base64 forms, went out before TLS was up.
//
// The filter, when there is one, rewrites what the server sends before the
// client gets it, as someone on the path would strip STARTTLS or STLS from
// a capability reply. It sees each chunk as it was read: a short reply
// arrives whole, so a line-oriented filter works on those, and it must pass
// on untouched whatever it does not know, the TLS records included.
//
// With a delay, each chunk waits that long in either direction before it is
// passed on, as on a long network path (the benchmarks' 20 ms each way). It
// is held by the time it arrived, not by a pause per chunk, so chunks on
// their way overlap and the delay costs no throughput.
#pragma once

#include <Poco/Net/ServerSocket.h>
#include <Poco/Net/SocketAddress.h>
#include <Poco/Net/StreamSocket.h>

#include <atomic>
#include <chrono>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace zentavo::test {

class RecordingRelay {
 public:
  using Filter = std::function<std::string(std::string)>;
  RecordingRelay(const std::string& host, const std::string& port, Filter fromServer = {},
                 std::chrono::milliseconds delay = {});
  ~RecordingRelay();  // drops whatever connection is still open
  RecordingRelay(const RecordingRelay&) = delete;
  RecordingRelay& operator=(const RecordingRelay&) = delete;

  // A filter that drops every line (CR LF) that is exactly `line`, such as
  // "250-STARTTLS" or "STLS".
  static Filter DropLine(const std::string& line);

  std::string port() const { return std::to_string(listener_.address().port()); }
  // Everything the clients sent over all connections so far. A chunk is
  // recorded before it is passed on: whatever the server has answered to
  // it is in here already.
  std::string FromClients() const;

 private:
  struct Held {
    std::chrono::steady_clock::time_point due;
    std::string bytes;  // empty: the end of the sender's input
  };
  struct Link {
    Poco::Net::StreamSocket client, server;
    bool clientOpen = true, serverOpen = true;
    std::deque<Held> toServer, toClient;
  };
  void Run();
  void Pass(Link& link, bool fromClient);
  void Forward(Link& link, bool toServer);

  Poco::Net::SocketAddress target_;
  Filter filter_;
  std::chrono::milliseconds delay_;
  Poco::Net::ServerSocket listener_;
  mutable std::mutex mutex_;
  std::string fromClients_;
  std::atomic<bool> stop_{false};
  std::thread thread_;  // last: it starts relaying once everything else is built
};

}  // namespace zentavo::test
