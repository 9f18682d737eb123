#include "oauth/Pkce.h"

#include <openssl/evp.h>
#include <openssl/rand.h>

#include <stdexcept>
#include <vector>

namespace zentavo {

std::string EncodeBase64Url(std::string_view bytes) {
  static constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";
  std::string out;
  out.reserve((bytes.size() * 4 + 2) / 3);
  std::size_t i = 0;
  for (; i + 3 <= bytes.size(); i += 3) {
    const unsigned group = static_cast<unsigned char>(bytes[i]) << 16 | static_cast<unsigned char>(bytes[i + 1]) << 8 |
                           static_cast<unsigned char>(bytes[i + 2]);
    for (int shift = 18; shift >= 0; shift -= 6) out += kAlphabet[(group >> shift) & 0x3F];
  }
  if (const std::size_t left = bytes.size() - i; left > 0) {
    unsigned group = static_cast<unsigned char>(bytes[i]) << 16;
    if (left == 2) group |= static_cast<unsigned char>(bytes[i + 1]) << 8;
    out += kAlphabet[(group >> 18) & 0x3F];
    out += kAlphabet[(group >> 12) & 0x3F];
    if (left == 2) out += kAlphabet[(group >> 6) & 0x3F];
  }
  return out;
}

std::string RandomBase64Url(std::size_t bytes) {
  std::vector<unsigned char> random(bytes);
  if (RAND_bytes(random.data(), static_cast<int>(random.size())) != 1)
    throw std::runtime_error("the random number generator gave nothing");
  return EncodeBase64Url(std::string_view(reinterpret_cast<const char*>(random.data()), random.size()));
}

std::string NewCodeVerifier() { return RandomBase64Url(48); }

std::string CodeChallenge(std::string_view verifier) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  if (EVP_Digest(verifier.data(), verifier.size(), digest, &length, EVP_sha256(), nullptr) != 1)
    throw std::runtime_error("SHA-256 is not available");
  return EncodeBase64Url(std::string_view(reinterpret_cast<const char*>(digest), length));
}

}  // namespace zentavo
