// A small line server for the tests of the SMTP and POP3 sessions: it
// listens on 127.0.0.1 (a free port) and plays a transcript on its own
// thread, checking every line the client sends.
//
// Script lines:
//   "S: text"  the server sends "text" CR LF (any bytes, a message's too)
//   "R: text"  a moment later, the server sends "text" alone: a piece of
//              a line, so that the client reads a line end cut in two
//   "C: text"  the next line from the client must be exactly "text"
//   "CLOSE"    the server drops the connection and the script ends there
//   "STALL"    the server stops answering; the client must hang up without
//              a further word
//   "ACCEPT"   the server drops the connection and takes the next one
// Before each "S:" and "R:" the client must have been waiting: a line of
// its that has arrived beyond those the script has read is a failure. So a
// client that writes commands in a pipeline has them listed before the
// replies, and one that should wait for each reply is held to it.
// The first connection is taken before the first line. After the last line
// the client must hang up without a further word. Every wait is bounded, so
// a client that misbehaves fails the test instead of hanging it.
#pragma once

#include <Poco/Net/ServerSocket.h>
#include <Poco/Net/StreamSocket.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace zentavo::test {

using Script = std::vector<std::string>;
inline Script operator+(Script a, const Script& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

class ScriptedServer {
 public:
  explicit ScriptedServer(std::vector<std::string> script);
  ~ScriptedServer();
  ScriptedServer(const ScriptedServer&) = delete;
  ScriptedServer& operator=(const ScriptedServer&) = delete;

  // The port as the settings hold it (decimal text).
  std::string port() const { return std::to_string(listener_.address().port()); }

  // Waits until the script has played out and returns what went wrong: each
  // line that differed from the script, a client that hung up too early or
  // not at all. Empty when the client kept to the script.
  std::vector<std::string> Finish();

 private:
  enum class Heard { Line, HungUp, Silence };
  void Run();
  bool Accept();
  Heard Listen(std::string& line, std::chrono::steady_clock::time_point deadline);
  void Say(const std::string& line);
  bool Waiting();
  void AwaitHangUp();

  Poco::Net::ServerSocket listener_;
  std::vector<std::string> script_;
  Poco::Net::StreamSocket client_;
  std::string buffer_;
  std::vector<std::string> failures_;
  std::atomic<bool> stop_{false};
  std::thread thread_;  // last: it starts playing once everything else is built
};

}  // namespace zentavo::test
