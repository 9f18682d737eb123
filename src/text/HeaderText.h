// Unstructured header text of received mail (Subject, a From display name,
// a quoted attachment name) as Shift_JIS, read as leniently as mail programs
// write it. Unlike DecodeEncodedWords, which keeps to ISO-2022-JP B words,
// this reads RFC 2047 words of any charset in B and Q, raw 8-bit text and
// raw JIS, and folded lines.
#pragma once

#include <string>
#include <string_view>

namespace zentavo {

// The field's value as it stands in the message (folding included) to one
// line of Shift_JIS: lines unfolded; encoded words decoded, also where they
// touch other text; the blanks between two encoded words dropped (RFC 2047
// section 6.2), so that a text split over several words joins up again;
// adjacent words of one charset decoded together, so that a character split
// between them survives; each charset read as ReceivedTextToSjis reads it;
// control characters as blanks, and no blanks at either end. Never fails.
std::string DecodeHeaderText(std::string_view raw);

}  // namespace zentavo
