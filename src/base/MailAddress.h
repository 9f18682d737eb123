// Mail addresses compared as RFC 5322 has them, the way the program compares
// a sender with the staff list and a recipient log: "\"staff20\"@x" is
// staff20@x.
#pragma once

#include <string>
#include <string_view>

namespace zentavo {

// The address with a quoted local part unquoted, comments and blanks
// dropped, ASCII letters in lower case (the program has always compared
// sender addresses without regard to letter case).
std::string NormalAddress(std::string_view address);

}  // namespace zentavo
