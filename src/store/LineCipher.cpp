#include "store/LineCipher.h"

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "base/Base64.h"
#include "store/crypt/Blowfish.h"
#include "store/crypt/CryptUtils.h"

namespace zentavo {

namespace {

// Changing either constant makes every existing data file unreadable.
constexpr std::string_view kLineKey = "KovrinZetaHarborKey42";
constexpr std::array<std::uint8_t, 8> kLineIV = {0xA7, 0x3C, 0x5E, 0x19, 0xD2, 0x84, 0x6B, 0xF0};

// The Blowfish key schedule costs 521 block encryptions, far more than a
// line, so it runs once. The keyed cipher is read-only afterwards; each call
// gets its own engine and with it its own chaining register, which keeps the
// calls independent and safe on any thread.
const Cipher& LineBlowFish() {
  static const std::unique_ptr<const Cipher> cipher = [] {
    auto c = std::make_unique<Blowfish>();
    c->SetKey(reinterpret_cast<const std::uint8_t*>(kLineKey.data()), kLineKey.size());
    return c;
  }();
  return *cipher;
}

const std::uint8_t* Bytes(std::string_view s) { return reinterpret_cast<const std::uint8_t*>(s.data()); }

}  // namespace

std::string EncryptLine(std::string_view plain) {
  CryptCBC engine(LineBlowFish(), kLineIV);
  std::vector<std::uint8_t> out(engine.EncryptedSize(plain.size()));
  out.resize(engine.EncryptBuffer(Bytes(plain), out.data(), plain.size()));
  return EncodeBase64(std::string_view(reinterpret_cast<const char*>(out.data()), out.size()));
}

std::string DecryptLine(std::string_view stored) {
  const std::string cipherText = DecodeBase64(stored);
  CryptCBC engine(LineBlowFish(), kLineIV);
  std::string out(cipherText.size(), '\0');
  const std::ptrdiff_t length =
      engine.DecryptBuffer(Bytes(cipherText), reinterpret_cast<std::uint8_t*>(out.data()), cipherText.size());
  // Damaged input can claim more padding than there is text.
  if (length <= 0) return {};
  out.resize(static_cast<std::size_t>(length));
  return out;
}

}  // namespace zentavo
