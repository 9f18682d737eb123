#include "support/ScriptedSmtpServer.h"

#include <Poco/Exception.h>
#include <Poco/Net/SocketAddress.h>
#include <sys/socket.h>

namespace zentavo::test {
namespace {

using Clock = std::chrono::steady_clock;

// Long enough for a loaded sanitizer build, short enough that a broken
// client fails the test within seconds.
constexpr auto kWait = std::chrono::seconds(10);
const Poco::Timespan kSlice(0, 50 * 1000);

}  // namespace

ScriptedSmtpServer::ScriptedSmtpServer(std::vector<std::string> script)
    : listener_(Poco::Net::SocketAddress("127.0.0.1", 0)), script_(std::move(script)), thread_([this] {
        Run();
        client_.close();
      }) {}

ScriptedSmtpServer::~ScriptedSmtpServer() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
}

std::vector<std::string> ScriptedSmtpServer::Finish() {
  if (thread_.joinable()) thread_.join();
  return failures_;
}

bool ScriptedSmtpServer::Accept() {
  client_.close();
  buffer_.clear();
  for (const auto deadline = Clock::now() + kWait; !stop_ && Clock::now() < deadline;) {
    if (!listener_.poll(kSlice, Poco::Net::Socket::SELECT_READ)) continue;
    client_ = listener_.acceptConnection();
    ++connections_;
    return true;
  }
  failures_.push_back("no client connected");
  return false;
}

ScriptedSmtpServer::Heard ScriptedSmtpServer::Listen(std::string& line, Clock::time_point deadline) {
  for (;;) {
    if (auto end = buffer_.find("\r\n"); end != std::string::npos) {
      line = buffer_.substr(0, end);
      buffer_.erase(0, end + 2);
      received_.push_back(line);
      return Heard::Line;
    }
    if (stop_ || Clock::now() >= deadline) return Heard::Silence;
    try {
      if (!client_.poll(kSlice, Poco::Net::Socket::SELECT_READ)) continue;
      char chunk[4096];
      int n = client_.receiveBytes(chunk, sizeof chunk);
      if (n <= 0) return Heard::HungUp;
      buffer_.append(chunk, static_cast<std::size_t>(n));
    } catch (const Poco::Exception&) {
      return Heard::HungUp;
    }
  }
}

void ScriptedSmtpServer::Say(const std::string& text) {
  const std::string bytes = text + "\r\n";
  try {
    for (std::size_t done = 0; done < bytes.size();) {
      int n = client_.sendBytes(bytes.data() + done, static_cast<int>(bytes.size() - done), MSG_NOSIGNAL);
      if (n <= 0) break;
      done += static_cast<std::size_t>(n);
    }
  } catch (const Poco::Exception& e) {
    failures_.push_back("could not send \"" + text + "\": " + e.displayText());
  }
}

// Reads until the client hangs up; any line meanwhile is a failure.
void ScriptedSmtpServer::AwaitHangUp() {
  const auto deadline = Clock::now() + kWait;
  for (std::string line;;) {
    const Heard heard = Listen(line, deadline);
    if (heard == Heard::HungUp) return;
    if (heard == Heard::Silence) {
      if (!stop_) failures_.push_back("client did not hang up");
      return;
    }
    failures_.push_back("unexpected line after the script: \"" + line + "\"");
  }
}

// Plays the script; the connection is dropped when it returns.
void ScriptedSmtpServer::Run() {
  if (!Accept()) return;
  for (const auto& step : script_) {
    if (step.starts_with("S: ")) {
      Say(step.substr(3));
    } else if (step.starts_with("C: ")) {
      const std::string expected = step.substr(3);
      std::string line;
      const Heard heard = Listen(line, Clock::now() + kWait);
      if (heard != Heard::Line) {
        failures_.push_back("expected \"" + expected + "\", but the client " +
                            (heard == Heard::HungUp ? "hung up" : "said nothing"));
        return;
      }
      if (line != expected) {
        failures_.push_back("expected \"" + expected + "\", got \"" + line + "\"");
        return;
      }
    } else if (step == "CLOSE") {
      return;
    } else if (step == "STALL") {
      return AwaitHangUp();
    } else if (step == "ACCEPT") {
      if (!Accept()) return;
    } else {
      failures_.push_back("bad script line \"" + step + "\"");
      return;
    }
  }
  AwaitHangUp();
}

}  // namespace zentavo::test
