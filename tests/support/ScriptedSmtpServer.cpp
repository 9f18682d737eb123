#include "support/ScriptedSmtpServer.h"

#include <Poco/Exception.h>
#include <Poco/Net/ServerSocket.h>
#include <Poco/Net/SocketAddress.h>
#include <Poco/Net/StreamSocket.h>
#include <Poco/Timespan.h>
#include <sys/socket.h>

#include <chrono>
#include <optional>

namespace zentavo::test {
namespace {

using Clock = std::chrono::steady_clock;

// Long enough for a loaded sanitizer build, short enough that a broken
// client fails the test within seconds.
constexpr auto kWait = std::chrono::seconds(10);
const Poco::Timespan kSlice(0, 50 * 1000);

bool StartsWith(const std::string& s, const std::string& prefix) {
  return s.compare(0, prefix.size(), prefix) == 0;
}

}  // namespace

struct ScriptedSmtpServer::Listener {
  Poco::Net::ServerSocket socket{Poco::Net::SocketAddress("127.0.0.1", 0)};
};

ScriptedSmtpServer::ScriptedSmtpServer(std::vector<std::string> script)
    : listener_(std::make_unique<Listener>()), script_(std::move(script)) {
  thread_ = std::thread([this] { Run(); });
}

ScriptedSmtpServer::~ScriptedSmtpServer() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
}

std::string ScriptedSmtpServer::port() const {
  return std::to_string(listener_->socket.address().port());
}

std::vector<std::string> ScriptedSmtpServer::Finish() {
  if (thread_.joinable()) thread_.join();
  return failures_;
}

void ScriptedSmtpServer::Run() {
  std::optional<Poco::Net::StreamSocket> conn;
  std::string buffer;

  auto accept = [&]() -> bool {
    if (conn) conn->close();
    conn.reset();
    buffer.clear();
    const auto deadline = Clock::now() + kWait;
    while (!stop_ && Clock::now() < deadline) {
      if (listener_->socket.poll(kSlice, Poco::Net::Socket::SELECT_READ)) {
        conn = listener_->socket.acceptConnection();
        ++connections_;
        return true;
      }
    }
    failures_.push_back("no client connected");
    return false;
  };

  enum class Got { Line, HungUp, Silence };
  auto readLine = [&](std::string& line, Clock::time_point deadline) -> Got {
    for (;;) {
      auto end = buffer.find("\r\n");
      if (end != std::string::npos) {
        line = buffer.substr(0, end);
        buffer.erase(0, end + 2);
        received_.push_back(line);
        return Got::Line;
      }
      if (stop_ || Clock::now() >= deadline) return Got::Silence;
      try {
        if (!conn->poll(kSlice, Poco::Net::Socket::SELECT_READ)) continue;
        char chunk[4096];
        int n = conn->receiveBytes(chunk, sizeof chunk);
        if (n <= 0) return Got::HungUp;
        buffer.append(chunk, static_cast<std::size_t>(n));
      } catch (const Poco::Exception&) {
        return Got::HungUp;
      }
    }
  };

  auto send = [&](const std::string& text) {
    std::string bytes = text + "\r\n";
    try {
      std::size_t done = 0;
      while (done < bytes.size()) {
        int n = conn->sendBytes(bytes.data() + done, static_cast<int>(bytes.size() - done), MSG_NOSIGNAL);
        if (n <= 0) break;
        done += static_cast<std::size_t>(n);
      }
    } catch (const Poco::Exception& e) {
      failures_.push_back("could not send \"" + text + "\": " + e.displayText());
    }
  };

  // Reads until the client hangs up; lines meanwhile are failures unless the
  // server is stalling on purpose.
  auto awaitHangUp = [&](bool linesAllowed) {
    const auto deadline = Clock::now() + kWait;
    std::string line;
    for (;;) {
      Got got = readLine(line, deadline);
      if (got == Got::HungUp) return;
      if (got == Got::Silence) {
        if (!stop_) failures_.push_back("client did not hang up");
        return;
      }
      if (!linesAllowed) failures_.push_back("unexpected line after the script: \"" + line + "\"");
    }
  };

  if (!accept()) return;
  for (const auto& step : script_) {
    if (StartsWith(step, "S: ")) {
      send(step.substr(3));
    } else if (StartsWith(step, "C: ")) {
      const std::string expected = step.substr(3);
      std::string line;
      Got got = readLine(line, Clock::now() + kWait);
      if (got != Got::Line) {
        failures_.push_back("expected \"" + expected + "\", but the client " +
                            (got == Got::HungUp ? "hung up" : "said nothing"));
        return;
      }
      if (line != expected) {
        failures_.push_back("expected \"" + expected + "\", got \"" + line + "\"");
        conn->close();
        return;
      }
    } else if (step == "CLOSE") {
      conn->close();
      return;
    } else if (step == "STALL") {
      awaitHangUp(true);
      return;
    } else if (step == "ACCEPT") {
      if (!accept()) return;
    } else {
      failures_.push_back("bad script line \"" + step + "\"");
      return;
    }
  }
  awaitHangUp(false);
}

}  // namespace zentavo::test
