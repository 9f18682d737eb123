// Text of received mail to Shift_JIS (code page 932), from whatever the
// sender's program wrote: ISO-2022-JP with its extensions, Shift_JIS, EUC-JP,
// UTF-8 or any charset iconv knows, labelled rightly, wrongly or not at all.
//
// Reception shows these texts and looks for the identifier and the MailNo in
// them, so nothing is ever refused: a character that cannot be read, or that
// code page 932 lacks, becomes the geta mark 〓, and the result is always
// valid code page 932 outside the user-defined area.
#pragma once

#include <string>
#include <string_view>

namespace zentavo {

// `bytes` in the charset named by `label` (a MIME charset name in any letter
// case; empty when the sender gave none).
std::string ReceivedTextToSjis(std::string_view bytes, std::string_view label);

}  // namespace zentavo
