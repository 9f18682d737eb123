// A received message as the reception shows it: sender, subject, date, the
// text and the parts, all in Shift_JIS, read leniently from whatever a mail
// program wrote (any Japanese charset, encoded words or raw 8-bit headers,
// HTML, alternatives, damaged MIME).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/LocalTime.h"
#include "receive/DeliveryReport.h"

namespace zentavo {

struct MailPart {
  enum class Kind { Text, Attachment };
  Kind kind = Kind::Text;
  std::string text;  // Shift_JIS: the part's text, or the attachment's file name
};

struct ReceivedMail {
  std::string from;                    // the From field as shown: display name and address
  std::string fromAddress;             // the sender's address as compared (NormalAddress), "" when none
  std::string messageId;               // "<...>", "" when none
  std::vector<std::string> threadIds;  // what In-Reply-To and References name, nearest first
  std::string subject;
  std::optional<LocalDateTime> date;     // nothing when the Date field is missing or unreadable
  std::string body;                      // the text of a message that is not multipart
  std::vector<MailPart> parts;           // the parts of a multipart message, in order
  bool automatic = false;                // an automatic reply (out of office and the like)
  std::optional<DeliveryReport> report;  // a report of failed delivery (a bounce)
};

// Never fails: whatever cannot be read is left empty. Without `withText`
// the body and the parts stay empty: a run that shows no bodies lists a
// mailbox without decoding every text in it.
ReceivedMail ReadReceivedMail(std::string_view raw, bool withText = true);

}  // namespace zentavo
