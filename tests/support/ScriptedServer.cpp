#include "support/ScriptedServer.h"

#include <Poco/Exception.h>
#include <Poco/Net/SocketAddress.h>
#include <sys/socket.h>

#include <algorithm>

namespace zentavo::test {

using Clock = std::chrono::steady_clock;

// Long enough for a loaded sanitizer build, short enough that a broken
// client fails the test within seconds.
constexpr auto kWait = std::chrono::seconds(10);
const Poco::Timespan kSlice(0, 50 * 1000);

ScriptedServer::ScriptedServer(std::vector<std::string> script)
    : listener_(Poco::Net::SocketAddress("127.0.0.1", 0)), script_(std::move(script)), thread_([this] {
        Run();
        client_.close();
      }) {}

ScriptedServer::~ScriptedServer() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
}

std::vector<std::string> ScriptedServer::Finish() {
  if (thread_.joinable()) thread_.join();
  return failures_;
}

bool ScriptedServer::Accept() {
  client_.close();
  buffer_.clear();
  for (const auto deadline = Clock::now() + kWait; !stop_ && Clock::now() < deadline;) {
    if (!listener_.poll(kSlice, Poco::Net::Socket::SELECT_READ)) continue;
    client_ = listener_.acceptConnection();
    return true;
  }
  failures_.push_back("no client connected");
  return false;
}

ScriptedServer::Heard ScriptedServer::Listen(std::string& line, Clock::time_point deadline) {
  for (;;) {
    if (auto end = buffer_.find("\r\n"); end != std::string::npos) {
      line = buffer_.substr(0, end);
      buffer_.erase(0, end + 2);
      return Heard::Line;
    }
    if (stop_ || Clock::now() >= deadline) return Heard::Silence;
    try {
      if (!client_.poll(kSlice, Poco::Net::Socket::SELECT_READ)) continue;
      char chunk[4096];
      int n = client_.receiveBytes(chunk, sizeof chunk);
      if (n <= 0) return Heard::HungUp;
      buffer_.append(chunk, static_cast<std::size_t>(n));
    } catch (const Poco::Exception&) { return Heard::HungUp; }
  }
}

void ScriptedServer::Say(const std::string& line) {
  try {
    // A reply line fits any socket buffer; the rare short send would leave
    // the client waiting, which fails the test all the same.
    client_.sendBytes(line.data(), static_cast<int>(line.size()), MSG_NOSIGNAL);
  } catch (const Poco::Exception& e) { failures_.push_back("could not send \"" + line + "\": " + e.displayText()); }
}

// Whether the client has sent nothing beyond the lines read so far (what
// has arrived by now; a line still on its way is not waited for).
bool ScriptedServer::Waiting() {
  char chunk[4096];
  try {
    if (client_.available() > 0) buffer_.append(chunk, std::max(0, client_.receiveBytes(chunk, sizeof chunk)));
  } catch (const Poco::Exception&) {}
  return buffer_.empty();
}

// Reads until the client hangs up; any line meanwhile is a failure.
void ScriptedServer::AwaitHangUp() {
  const auto deadline = Clock::now() + kWait;
  std::string line;
  Heard heard;
  while ((heard = Listen(line, deadline)) == Heard::Line)
    failures_.push_back("unexpected line after the script: \"" + line + "\"");
  if (heard == Heard::Silence && !stop_) failures_.push_back("client did not hang up");
}

// Plays the script; the connection is dropped when it returns.
void ScriptedServer::Run() {
  if (!Accept()) return;
  for (const auto& step : script_) {
    if ((step.starts_with("S: ") || step.starts_with("R: ")) && !Waiting())
      failures_.push_back("the client did not wait for \"" + step.substr(3) + "\": it sent \"" +
                          buffer_.substr(0, buffer_.find("\r\n")) + "\"");
    if (step.starts_with("S: ")) {
      Say(step.substr(3) + "\r\n");
    } else if (step.starts_with("R: ")) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
      Say(step.substr(3));
    } else if (step.starts_with("C: ")) {
      const std::string expected = step.substr(3);
      std::string line;
      const Heard heard = Listen(line, Clock::now() + kWait);
      if (heard != Heard::Line || line != expected) {
        const char* none = heard == Heard::HungUp ? "the client hung up" : "the client said nothing";
        failures_.push_back("expected \"" + expected + "\", " + (heard == Heard::Line ? "got \"" + line + "\"" : none));
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
