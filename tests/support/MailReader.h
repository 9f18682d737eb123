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

// GMime's reading before any charset conversion. glibc's ISO-2022-JP, which
// GMime converts through, lacks JIS rows 13 and 89-92 (①, ㈱, 髙 as Japanese
// mail programs send them): GMime silently drops those characters or reads
// wrong ones, in a subject everything after them as well. Tests decode these
// bytes by the JIS pair rule and code page 932 instead, as the readers do.
struct RawReaderView {
  std::string subjectBytes;  // the subject's encoded words, Base64 undone, joined
  std::string bodyBytes;     // the text part with its transfer encoding undone
  std::string to;            // To as GMime lists it ("undisclosed-recipients: ;")
};

RawReaderView OpenRawWithGMime(const std::string& raw);

}  // namespace zentavo::test
