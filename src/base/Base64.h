// Base64 with the standard alphabet and "=" padding, no line breaks.
#pragma once

#include <string>
#include <string_view>

namespace zentavo {

std::string EncodeBase64(std::string_view bytes);

// Skips CR and LF, treats "=" as the end of a group's data. Never reads or
// writes outside its buffers whatever the text holds.
std::string DecodeBase64(std::string_view text);

}  // namespace zentavo
