// Telling a report of failed delivery (a bounce) from other received mail,
// and reading from it who could not be reached and which notice it returns,
// so that the recipient can be marked undelivered on that notice.
//
// Read are the standard reports (RFC 3464 and, with UTF-8, RFC 6533) and the
// plain-text bounces that older mail servers still send. A plain bounce
// counts only when both the failed address and the returned notice (its
// Message-ID or Subject) can be read from it: a bounce that cannot be tied
// to a notice stays ordinary mail for the operator to read.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zentavo {

// One recipient the report says could not be delivered to.
struct FailedDelivery {
  std::string address;  // as sent (Original-Recipient, else Final-Recipient): ASCII, domain in lower case
  std::string status;   // the enhanced status code ("5.1.1"), "" when not given
  std::string reason;   // Shift_JIS, on one line: the Diagnostic-Code or the bounce's failure text; "" when none
};

struct DeliveryReport {
  std::vector<FailedDelivery> failed;  // only recipients whose delivery failed, never delayed or delivered ones
  std::string originalMessageId;       // of the returned message, with its angle brackets; "" when unknown
  std::string originalSubject;         // of the returned message, Shift_JIS as subjects are shown; "" when unknown
};

// A report names at most this many failed recipients; the rest are left out.
constexpr std::size_t kMostFailedDeliveries = 100;

// A report of failed delivery, or nothing for any other message (a reply,
// a delay notice, a success report, a read receipt, spam). Never throws.
std::optional<DeliveryReport> ReadDeliveryReport(std::string_view raw);

}  // namespace zentavo
