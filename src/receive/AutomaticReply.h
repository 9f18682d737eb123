// Telling an automatic reply (an out-of-office notice, a vacation message)
// from what a person wrote.
#pragma once

#include <optional>
#include <string>

namespace zentavo {

// The signs in a received message: raw values of the fields, nothing when
// the field is missing, and the decoded subject.
struct ReplySigns {
  std::optional<std::string> autoSubmitted;  // Auto-Submitted (RFC 3834)
  std::optional<std::string> xAutoreply;     // X-Autoreply
  std::optional<std::string> xAutorespond;   // X-Autorespond
  std::optional<std::string> precedence;     // Precedence
  std::string subject;                       // Shift_JIS
};

bool IsAutomaticReply(const ReplySigns& signs);

}  // namespace zentavo
