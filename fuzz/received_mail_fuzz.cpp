// A received message of any shape: whatever a mailbox holds is read without
// a crash or a hang, every text that comes out is code page 932 that the
// windows can show, and sender and subject fit on one line of the list.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "receive/ReceivedMail.h"
#include "text/SjisUnicode.h"

namespace {

bool Shown(const std::string& sjis) { return zentavo::SjisToUtf8(sjis).find("\xEF\xBF\xBD") == std::string::npos; }

bool OneLine(const std::string& sjis) {
  for (char c : sjis)
    if (static_cast<unsigned char>(c) < 0x20) return false;
  return Shown(sjis);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const zentavo::ReceivedMail mail =
      zentavo::ReadReceivedMail(std::string_view(reinterpret_cast<const char*>(data), size));
  if (!OneLine(mail.from) || !OneLine(mail.subject) || !Shown(mail.body)) std::abort();
  for (const zentavo::MailPart& part : mail.parts)
    if (!Shown(part.text) || (part.kind == zentavo::MailPart::Kind::Attachment && !OneLine(part.text))) std::abort();
  if (mail.date && (mail.date->month < 1 || mail.date->month > 12 || mail.date->day < 1 || mail.date->day > 31 ||
                    mail.date->hour > 23 || mail.date->minute > 59 || mail.date->second > 60))
    std::abort();
  return 0;
}
