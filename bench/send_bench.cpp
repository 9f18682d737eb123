// Sends one large notice through PocoSmtpTransport: by default 100 messages
// of 30 blind-copy recipients each (3,000 addressed recipients), one SMTP
// session per message, one after the other, as the send run does. It also
// writes the same messages and recipient lists into OUT_DIR, so that
// run-send-bench.sh can send exactly the same mail with msmtp.
//
//   send_bench ENV_FILE OUT_DIR [MESSAGES [BATCH]]
//
// ENV_FILE is the env file of a running tests/mailstack stack.
#include <chrono>
#include <cstdio>
#include <exception>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "net/SmtpTransport.h"

namespace {

std::map<std::string, std::string> ReadEnv(const std::string& path) {
  std::ifstream in(path);
  if (!in) throw std::runtime_error("cannot read " + path);
  std::map<std::string, std::string> env;
  for (std::string line; std::getline(in, line);)
    if (const auto eq = line.find('='); eq != std::string::npos) env[line.substr(0, eq)] = line.substr(eq + 1);
  return env;
}

// `n` in decimal, with leading zeros up to `width` digits.
std::string Digits(int n, std::size_t width) {
  const std::string digits = std::to_string(n);
  return std::string(digits.size() < width ? width - digits.size() : 0, '0') + digits;
}

std::string Message(const std::string& from, int number) {
  std::string m = "From: " + from + "\r\nSubject: MailNo1000_bench " + Digits(number, 3) +
                  "\r\nDate: Sun, 06 Dec 2026 09:00:00 +0900\r\n"
                  "Message-ID: <bench-" + std::to_string(number) + "@staff.test>\r\n"
                  "MIME-Version: 1.0\r\nContent-Type: text/plain; charset=ISO-2022-JP\r\n\r\n";
  // A notice of a few dozen lines, as ISO-2022-JP text would look on the wire.
  for (int i = 0; i < 30; ++i)
    m += "\x1b$B$3$l$O%F%9%H$N=q$-9~$_$G$9!#\x1b(B line " + std::to_string(i) + "\r\n";
  return m + ".\r\n\r\nSEND:2026/12/06 09:00:00\r\n";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: send_bench ENV_FILE OUT_DIR [MESSAGES [BATCH]]\n");
    return 2;
  }
  try {
    auto env = ReadEnv(argv[1]);
    const int messages = argc > 3 ? std::stoi(argv[3]) : 100;
    const int batch = argc > 4 ? std::stoi(argv[4]) : 30;
    const std::string office = env.at("MAIL_USERS").substr(0, env.at("MAIL_USERS").find(','));
    const zentavo::SmtpAccount account{env.at("SMTP_HOST"), env.at("SMTP_PORT"), office, env.at("MAIL_PASSWORD"), {}};

    // Everything is built and written out before the clock starts.
    std::vector<std::pair<zentavo::SmtpEnvelope, std::string>> mails;
    for (int n = 1; n <= messages; ++n) {
      const std::string name = std::string(argv[2]) + "/" + Digits(n, 3);
      auto& [envelope, data] = mails.emplace_back(zentavo::SmtpEnvelope{office, {}}, Message(office, n));
      std::ofstream rcpt(name + ".rcpt");
      for (int r = 1; r <= batch; ++r) {
        envelope.recipients.push_back("r" + Digits((n - 1) * batch + r, 4) + "@" + env.at("BENCH_DOMAIN"));
        rcpt << envelope.recipients.back() << "\n";
      }
      std::ofstream(name + ".eml", std::ios::binary) << data;
    }

    zentavo::PocoSmtpTransport transport;
    const auto start = std::chrono::steady_clock::now();
    for (const auto& [envelope, data] : mails) transport.Send(account, envelope, data);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;

    std::printf("PocoSmtpTransport: %d messages, %d recipients, %.3f s\npoco_seconds=%.6f\n", messages,
                messages * batch, took.count(), took.count());
    return 0;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "send_bench: %s\n", e.what());
    return 1;
  }
}
