// The structured header fields that reception reads itself, from their raw
// text: the sender and the attachment names. GMime would decode the names in
// them through glibc's converters, which garble the NEC rows of ISO-2022-JP
// (text/ReceivedCharset.cpp), and it gives up on much that Japanese mail
// programs write (encoded words in quotes, raw Shift_JIS).
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace zentavo {

// The From field as shown, in Shift_JIS: each mailbox as its display name,
// decoded, quoted if it was, and its address in angle brackets exactly as
// written ("山田 太郎 <yamada@example.jp>", "\"Yamada, Taro\" <...>"), a
// mailbox without a name as its address alone, several joined by ", ".
std::string SenderAsShown(std::string_view rawFrom);

// The file name that a Content-Disposition ("filename") or Content-Type
// ("name") field gives its part, in Shift_JIS: an RFC 2231 parameter, whole
// or in numbered sections, with or without its charset, is preferred to a
// plain one, which may hold encoded words, quoted or not, or raw 8-bit text.
// Nothing when the field has no such parameter.
std::optional<std::string> FileNameParameter(std::string_view rawField, std::string_view parameter);

}  // namespace zentavo
