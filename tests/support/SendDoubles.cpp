#include "support/SendDoubles.h"

#include "text/EncodedWords.h"

namespace zentavo::test {

Settings FakeServerSettings(const std::string& lastMailNo) {
  Settings settings;
  settings.smtpHost = "127.0.0.1";
  settings.smtpPort = "2525";
  settings.user = "office";
  settings.password = "secret";
  settings.senderAddress = "office@example.jp";
  settings.identifier = "MailNo";
  settings.lastMailNo = lastMailNo;
  return settings;
}

SessionSecurity FakeTransport::Send(const SmtpAccount& account, const SmtpEnvelope& envelope, const std::string& data) {
  ++calls;
  if (calls == failAt) throw SmtpError("550 5.1.1 <x@example.jp>: Recipient address rejected", failHandedOver);
  batches.push_back({account, envelope, data});
  return security;
}

std::vector<std::string> FakeTransport::Subjects() const {
  std::vector<std::string> subjects;
  for (const auto& b : batches) {
    const size_t at = b.data.find("\r\nSubject: ") + 11;
    subjects.push_back(U(DecodeEncodedWords(b.data.substr(at, b.data.find("\r\n", at) - at))));
  }
  return subjects;
}

MsgAnswer RecordingSendOperator::Message(std::string_view caption, std::string_view text, MsgIcon icon,
                                         MsgButtons buttons, std::string_view detail) {
  events.push_back("message " + U(std::string(text)));
  return script.Message(caption, text, icon, buttons, detail);
}

void RecordingSendOperator::Progress(std::string_view text) {
  events.push_back("progress " + U(std::string(text)));
  script.Progress(text);
}

bool RecordingSendOperator::ConfirmSplit(const SplitVerdict& verdict) {
  events.push_back("split " + U(verdict.text));
  verdicts.push_back(verdict);
  return splitAnswer;
}

void RecordingSendOperator::ShowUnregistered(const std::vector<UnregisteredRow>& rows) {
  events.push_back("unregistered");
  unregistered.push_back(rows);
}

bool HeldRunner::ReleaseOne() {
  if (pending.empty()) return false;
  auto [work, done] = std::move(pending.front());
  pending.erase(pending.begin());
  work();
  done();
  return true;
}

}  // namespace zentavo::test
