// Feeds arbitrary bytes to the line cipher both as a stored line (as a reader
// meets a damaged or hand-edited file) and as a plain line (which must come
// back unchanged).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "base/Base64.h"
#include "store/LineCipher.h"
#include "store/crypt/CryptUtils.h"

namespace {

std::size_t DecodedLength(std::string_view text) {
  std::size_t n = 0;
  for (char c : text)
    if (c != '\r' && c != '\n' && c != '=') ++n;
  return n / 4 * 3 + (n % 4 != 0 ? n % 4 - 1 : 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);

  const std::string decoded = zentavo::DecodeBase64(input);
  if (decoded.size() != DecodedLength(input)) std::abort();

  try {
    const std::string plain = zentavo::DecryptLine(input);
    // A plain line never exceeds its ciphertext.
    if (plain.size() > decoded.size()) std::abort();
  } catch (const zentavo::AssertionFailure&) {
    // Only a ciphertext of partial blocks may be refused.
    if (decoded.size() % 8 == 0) std::abort();
  }

  const std::string stored = zentavo::EncryptLine(input);
  if (stored.size() != (8 * (size / 8 + 1) + 2) / 3 * 4) std::abort();
  if (zentavo::EncodeBase64(zentavo::DecodeBase64(stored)) != stored) std::abort();
  if (zentavo::DecryptLine(stored) != input) std::abort();
  return 0;
}
