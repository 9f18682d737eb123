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
#include <sstream>
#include <string>
#include <vector>

#include "send/SmtpSession.h"

namespace {

std::map<std::string, std::string> ReadEnv(const std::string& path) {
  std::ifstream in(path);
  if (!in) throw std::runtime_error("cannot read " + path);
  std::map<std::string, std::string> env;
  for (std::string line; std::getline(in, line);) {
    auto eq = line.find('=');
    if (eq != std::string::npos) env[line.substr(0, eq)] = line.substr(eq + 1);
  }
  return env;
}

std::string Message(const std::string& from, int number) {
  char subject[64];
  std::snprintf(subject, sizeof subject, "MailNo1000_bench %03d", number);
  std::string m = "From: " + from + "\r\nSubject: " + subject +
                  "\r\nDate: Sun, 06 Dec 2026 09:00:00 +0900\r\n"
                  "Message-ID: <bench-" + std::to_string(number) + "@staff.test>\r\n"
                  "MIME-Version: 1.0\r\nContent-Type: text/plain; charset=ISO-2022-JP\r\n\r\n";
  // A notice of a few dozen lines, as ISO-2022-JP text would look on the wire.
  for (int i = 0; i < 30; ++i)
    m += "\x1b$B$3$l$O%F%9%H$N=q$-9~$_$G$9!#\x1b(B line " + std::to_string(i) + "\r\n";
  m += ".\r\n\r\nSEND:2026/12/06 09:00:00\r\n";
  return m;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: send_bench ENV_FILE OUT_DIR [MESSAGES [BATCH]]\n");
    return 2;
  }
  try {
    auto env = ReadEnv(argv[1]);
    const std::string out = argv[2];
    const int messages = argc > 3 ? std::stoi(argv[3]) : 100;
    const int batch = argc > 4 ? std::stoi(argv[4]) : 30;

    std::string users = env.at("MAIL_USERS");
    const std::string office = users.substr(0, users.find(','));
    const zentavo::SmtpAccount account{env.at("SMTP_HOST"), env.at("SMTP_PORT"), office, env.at("MAIL_PASSWORD")};

    std::vector<std::string> data;
    std::vector<zentavo::SmtpEnvelope> envelopes;
    int next = 1;
    for (int n = 1; n <= messages; ++n) {
      zentavo::SmtpEnvelope envelope{office, {}};
      for (int r = 0; r < batch; ++r) {
        char address[64];
        std::snprintf(address, sizeof address, "r%04d@%s", next++, env.at("BENCH_DOMAIN").c_str());
        envelope.recipients.push_back(address);
      }
      data.push_back(Message(office, n));
      envelopes.push_back(envelope);

      char name[32];
      std::snprintf(name, sizeof name, "/%03d", n);
      std::ofstream(out + name + ".eml", std::ios::binary) << data.back();
      std::ofstream rcpt(out + name + ".rcpt");
      for (const auto& to : envelope.recipients) rcpt << to << "\n";
    }

    zentavo::PocoSmtpTransport transport;
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < messages; ++i) transport.Send(account, envelopes[i], data[i]);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;

    std::printf("PocoSmtpTransport: %d messages, %d recipients, %.3f s\n", messages, messages * batch,
                took.count());
    std::printf("poco_seconds=%.6f\n", took.count());
    return 0;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "send_bench: %s\n", e.what());
    return 1;
  }
}
