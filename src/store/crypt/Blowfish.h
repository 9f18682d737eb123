// Blowfish: 64-bit blocks, 16 rounds, keys of 1 to 56 bytes (longer keys are
// accepted; bytes past the 72nd have no effect). Block bytes are read and
// written as two big-endian 32-bit words, as in the published test vectors.
#pragma once

#include <array>
#include <cstdint>

#include "store/crypt/CryptUtils.h"

namespace zentavo {

class Blowfish : public Cipher {
 public:
  static constexpr int kRounds = 16;

  // Starts with the initial tables (the hexadecimal digits of pi), which is
  // the state the key schedule works from; call SetKey before use.
  Blowfish();

  std::size_t BlockSize() const override;
  // Runs the whole key schedule from the initial tables, so a cipher can be
  // keyed again. An empty key leaves the P-array unmixed.
  void SetKey(const std::uint8_t* key, std::size_t length) override;
  // The internal form of a block is two native-order 32-bit words
  // (left, right) in the block's 8 bytes.
  void EncryptBlock(const std::uint8_t* in, std::uint8_t* out) const override;
  void DecryptBlock(const std::uint8_t* in, std::uint8_t* out) const override;
  void StoreBlock(const std::uint8_t* in, std::uint8_t* out) const override;
  void LoadBlock(const std::uint8_t* in, std::uint8_t* out) const override;

 private:
  std::uint32_t F(std::uint32_t x) const;
  void EncryptWords(std::uint32_t& left, std::uint32_t& right) const;
  void DecryptWords(std::uint32_t& left, std::uint32_t& right) const;

  std::array<std::uint32_t, kRounds + 2> p_;
  std::array<std::array<std::uint32_t, 256>, 4> s_;
};

}  // namespace zentavo
