// The line cipher: every line of every data file is stored on its own as the
// Base64 text of its Blowfish-CBC ciphertext (fixed key and IV, PKCS#7
// padding), so lines can be read, dropped or appended independently.
#pragma once

#include <string>
#include <string_view>

namespace zentavo {

// Plain line (Shift_JIS bytes, no line end) -> stored line (ASCII Base64).
std::string EncryptLine(std::string_view plain);

// Stored line -> plain line. A stored text whose decoded length is not a
// multiple of 8 throws AssertionFailure (see store/crypt/CryptUtils.h).
std::string DecryptLine(std::string_view stored);

}  // namespace zentavo
