// The structured header fields that reception reads itself, from their raw
// text: the sender and the attachment names. GMime would decode the names in
// them through glibc's converters, which garble the NEC rows of ISO-2022-JP
// (text/ReceivedCharset.cpp), and it gives up on much that Japanese mail
// programs write (encoded words in quotes, raw Shift_JIS).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/MailAddress.h"

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

// The address of the first mailbox of a From field (inside its angle
// brackets, or the mailbox itself), as NormalAddress gives it; empty when
// the field names none.
std::string SenderAddress(std::string_view rawFrom);

// The message ids ("<left@right>", brackets kept, blanks and comments
// dropped) that a Message-ID, In-Reply-To or References field names, in
// order; at most `limit` of them.
std::vector<std::string> MessageIds(std::string_view rawField, std::size_t limit = 100);

}  // namespace zentavo
