// What a real mail reader makes of a message: GMime parses the wire text,
// and subject and body come back in Shift_JIS for comparison with what the
// program holds.
#pragma once

#include <string>

namespace zentavo::test {

struct ReaderView {
  bool parsed = false;
  std::string subject;      // Shift_JIS
  std::string body;         // Shift_JIS, empty unless the message is one text part
  std::string contentType;  // "text/plain"
  std::string messageId;    // without the angle brackets
  bool hasBcc = false;
};

ReaderView OpenWithGMime(const std::string& raw);

}  // namespace zentavo::test
