// The text of a plain bounce, as older mail servers send it instead of a
// delivery report: the failed addresses with the server's reasons, then a
// line announcing a copy of the returned message, then the copy.
#pragma once

#include <string_view>
#include <vector>

#include "receive/DeliveryReport.h"

namespace zentavo {

struct BounceText {
  std::vector<FailedDelivery> failed;  // status only where the reason names one
  std::string_view original;           // the copy of the returned message; empty when the text holds none
};

// The failed addresses that the text names before its copy of the message,
// in the forms mail servers write them:
//   - a heading ("The following address(es) failed:", "----- The following
//     addresses had permanent fatal errors -----", ...) over one address to
//     a line, each followed by its reason on lines indented further;
//   - failing that, qmail's "<address>:" alone on a line, its reason on the
//     lines below, up to a blank line.
// `charset` is that of the text's 8-bit bytes ("" when unknown), for the
// reasons.
BounceText ReadBounceText(std::string_view text, std::string_view charset);

}  // namespace zentavo
