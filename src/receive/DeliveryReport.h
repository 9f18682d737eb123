// Reports of failed delivery (bounces): RFC 3464 delivery status
// notifications and the common plain-text forms mail servers still send.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zentavo {

// One recipient the report says could not be delivered to.
struct FailedDelivery {
  std::string address;  // the recipient's address as sent
  std::string status;   // "5.1.1", empty when not given
  std::string reason;   // the Diagnostic-Code text, Shift_JIS; empty when none
};

struct DeliveryReport {
  std::vector<FailedDelivery> failed;
  std::string originalMessageId;  // "<...>" of the returned message, "" when unknown
  std::string originalSubject;    // its Subject, decoded to Shift_JIS, "" when unknown
};

// A report of failed delivery, or nothing for any other message. Never throws.
std::optional<DeliveryReport> ReadDeliveryReport(std::string_view raw);

}  // namespace zentavo
