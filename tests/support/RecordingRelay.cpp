#include "support/RecordingRelay.h"

#include <Poco/Exception.h>
#include <sys/socket.h>

#include <algorithm>
#include <utility>
#include <vector>

namespace zentavo::test {

using Clock = std::chrono::steady_clock;

// How long the relay's thread waits for traffic before it looks at stop_.
const Poco::Timespan kSlice(0, 50 * 1000);

RecordingRelay::RecordingRelay(const std::string& host, const std::string& port, Filter fromServer,
                               std::chrono::milliseconds delay)
    : target_(host, port),
      filter_(std::move(fromServer)),
      delay_(delay),
      listener_(Poco::Net::SocketAddress("127.0.0.1", 0)),
      thread_([this] { Run(); }) {}

RecordingRelay::~RecordingRelay() {
  stop_ = true;
  thread_.join();
}

RecordingRelay::Filter RecordingRelay::DropLine(const std::string& line) {
  return [whole = line + "\r\n"](std::string chunk) {
    std::string kept;
    for (std::size_t at = 0, end; at < chunk.size(); at = end) {
      end = chunk.find("\r\n", at);
      end = end == std::string::npos ? chunk.size() : end + 2;
      if (chunk.compare(at, end - at, whole) != 0) kept.append(chunk, at, end - at);
    }
    return kept;
  };
}

std::string RecordingRelay::FromClients() const {
  std::lock_guard lock(mutex_);
  return fromClients_;
}

void RecordingRelay::Run() {
  std::vector<Link> links;  // closed with the thread's end
  while (!stop_) {
    try {
      Poco::Net::Socket::SocketList ready{listener_}, unused, failed;
      for (const Link& link : links) {
        if (link.clientOpen) ready.push_back(link.client);
        if (link.serverOpen) ready.push_back(link.server);
      }
      // Wait no longer than the next held chunk.
      auto wait = std::chrono::microseconds(kSlice.totalMicroseconds());
      for (const Link& link : links)
        for (const auto* held : {&link.toServer, &link.toClient})
          if (!held->empty())
            wait = std::clamp(std::chrono::duration_cast<std::chrono::microseconds>(held->front().due - Clock::now()),
                              std::chrono::microseconds(0), wait);
      const int selected = Poco::Net::Socket::select(ready, unused, failed, Poco::Timespan(wait.count()));
      auto isReady = [&](const Poco::Net::Socket& s) {
        return selected > 0 && std::find(ready.begin(), ready.end(), s) != ready.end();
      };
      for (Link& link : links) {
        if (link.clientOpen && isReady(link.client)) Pass(link, true);
        if (link.serverOpen && isReady(link.server)) Pass(link, false);
        Forward(link, true);
        Forward(link, false);
      }
      std::erase_if(links, [](const Link& link) {
        return !link.clientOpen && !link.serverOpen && link.toServer.empty() && link.toClient.empty();
      });
      if (!isReady(listener_)) continue;
      Link link;
      link.client = listener_.acceptConnection();
      link.server.connect(target_, Poco::Timespan(5, 0));  // on failure the client is dropped
      // A peer that stops reading must not hold up the thread, nor the end.
      link.client.setSendTimeout(Poco::Timespan(5, 0));
      link.server.setSendTimeout(Poco::Timespan(5, 0));
      links.push_back(link);
    } catch (const Poco::Exception&) {}
  }
}

// Takes one chunk in, to be passed on once the delay is over. An end of
// input is passed on as one (the other side may still answer); an error
// ends the connection both ways.
void RecordingRelay::Pass(Link& link, bool fromClient) {
  Poco::Net::StreamSocket& from = fromClient ? link.client : link.server;
  std::deque<Held>& held = fromClient ? link.toServer : link.toClient;
  try {
    char chunk[16384];
    const int n = from.receiveBytes(chunk, sizeof chunk);
    if (n <= 0) {
      (fromClient ? link.clientOpen : link.serverOpen) = false;
      held.push_back({Clock::now() + delay_, {}});
      return;
    }
    std::string bytes(chunk, static_cast<std::size_t>(n));
    if (fromClient) {
      std::lock_guard lock(mutex_);
      fromClients_ += bytes;
    }
    if (!fromClient && filter_) bytes = filter_(std::move(bytes));
    if (!bytes.empty()) held.push_back({Clock::now() + delay_, std::move(bytes)});
  } catch (const Poco::Exception&) { link.clientOpen = link.serverOpen = false; }
}

// Passes on what has been held long enough.
void RecordingRelay::Forward(Link& link, bool toServer) {
  Poco::Net::StreamSocket& to = toServer ? link.server : link.client;
  std::deque<Held>& held = toServer ? link.toServer : link.toClient;
  try {
    for (; !held.empty() && held.front().due <= Clock::now(); held.pop_front()) {
      const std::string& bytes = held.front().bytes;
      if (bytes.empty()) to.shutdownSend();
      for (std::size_t sent = 0; sent < bytes.size();)
        sent += static_cast<std::size_t>(
            to.sendBytes(bytes.data() + sent, static_cast<int>(bytes.size() - sent), MSG_NOSIGNAL));
    }
  } catch (const Poco::Exception&) {
    link.clientOpen = link.serverOpen = false;
    held.clear();
  }
}

}  // namespace zentavo::test
