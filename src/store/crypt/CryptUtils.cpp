#include "store/crypt/CryptUtils.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <utility>

namespace zentavo {

// --- Cipher ---------------------------------------------------------------

void Cipher::SetKey(const std::uint8_t* /*key*/, std::size_t /*length*/) {}

void Cipher::StoreBlock(const std::uint8_t* in, std::uint8_t* out) const {
  std::memmove(out, in, BlockSize());
}

void Cipher::LoadBlock(const std::uint8_t* in, std::uint8_t* out) const {
  std::memmove(out, in, BlockSize());
}

void Cipher::Encrypt(const std::uint8_t* in, std::uint8_t* out) const {
  LoadBlock(in, out);
  EncryptBlock(out, out);
  StoreBlock(out, out);
}

void Cipher::Decrypt(const std::uint8_t* in, std::uint8_t* out) const {
  LoadBlock(in, out);
  DecryptBlock(out, out);
  StoreBlock(out, out);
}

// --- Crypt ----------------------------------------------------------------

namespace {

std::unique_ptr<Cipher> Keyed(std::unique_ptr<Cipher> cipher,
                               std::span<const std::uint8_t> key) {
  if (!cipher) throw std::invalid_argument("Crypt: no cipher");
  cipher->SetKey(key.data(), key.size());
  return cipher;
}

std::span<const std::uint8_t> BytesOf(std::string_view text) {
  return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

}  // namespace

Crypt::Crypt(std::span<const std::uint8_t> key, std::unique_ptr<Cipher> cipher,
               std::span<const std::uint8_t> iv, PaddingMode padding)
    : padding_(padding), ownedCipher_(Keyed(std::move(cipher), key)),
      cipher_(ownedCipher_.get()) {
  InitBlocks(iv);
}

Crypt::Crypt(std::string_view key, std::unique_ptr<Cipher> cipher,
               std::span<const std::uint8_t> iv, PaddingMode padding)
    : Crypt(BytesOf(key), std::move(cipher), iv, padding) {}

Crypt::Crypt(const Cipher& keyedCipher, std::span<const std::uint8_t> iv,
               PaddingMode padding)
    : padding_(padding), cipher_(&keyedCipher) {
  InitBlocks(iv);
}

Crypt::~Crypt() = default;

void Crypt::InitBlocks(std::span<const std::uint8_t> iv) {
  blockSize_ = cipher_->BlockSize();
  if (blockSize_ == 0) throw std::invalid_argument("Crypt: zero block size");
  iv_.assign(blockSize_, 0);
  chain_.assign(blockSize_, 0);
  work_.assign(blockSize_, 0);
  // A short IV leaves the rest of the vector zero; a long one is cut.
  std::copy_n(iv.begin(), std::min(blockSize_, iv.size()), iv_.begin());
}

void Crypt::ResetEncrypt() { chain_ = iv_; }

void Crypt::ResetDecrypt() { chain_ = iv_; }

int Crypt::Padding(std::uint8_t* block, std::size_t count, bool encrypting) {
  const std::size_t bs = blockSize_;
  if (encrypting) {
    const auto p = static_cast<int>(bs - count);
    switch (padding_) {
      case PaddingMode::PKCS:
        std::fill(block + count, block + bs, static_cast<std::uint8_t>(p));
        return p;
      case PaddingMode::OneAndZeros:
        if (count < bs) {
          block[count] = 0x80;
          std::fill(block + count + 1, block + bs, 0);
        }
        return p;
      case PaddingMode::Zeros:
        std::fill(block + count, block + bs, 0);
        return p;
      case PaddingMode::Spaces:
        std::fill(block + count, block + bs, 0x20);
        return p;
      case PaddingMode::None:
        return 0;
    }
    return 0;
  }

  // Decrypting: count is the whole block.
  auto trailing = [&](std::uint8_t value) {
    std::size_t n = 0;
    while (n < count && block[count - 1 - n] == value) ++n;
    return n;
  };
  switch (padding_) {
    case PaddingMode::PKCS:
      // Only the last byte is trusted; there is no integrity check, so a
      // damaged block may claim more padding than it holds.
      return count == 0 ? 0 : block[count - 1];
    case PaddingMode::OneAndZeros: {
      const std::size_t zeros = trailing(0x00);
      if (zeros == count || block[count - 1 - zeros] != 0x80) throw CryptError();
      return static_cast<int>(zeros + 1);
    }
    case PaddingMode::Zeros:
      return static_cast<int>(trailing(0x00));
    case PaddingMode::Spaces:
      return static_cast<int>(trailing(0x20));
    case PaddingMode::None:
      return 0;
  }
  return 0;
}

std::size_t Crypt::EncryptedSize(std::size_t length) const {
  if (padding_ == PaddingMode::None) return length;
  return (length + blockSize_) / blockSize_ * blockSize_;
}

std::size_t Crypt::EncryptBuffer(const std::uint8_t* in, std::uint8_t* out,
                                  std::size_t length) {
  const std::size_t bs = blockSize_;
  if (padding_ == PaddingMode::None && length % bs != 0) throw AssertionFailure();
  ResetEncrypt();
  const std::size_t whole = length / bs;
  for (std::size_t i = 0; i < whole; ++i) EncryptBlock(in + i * bs, out + i * bs);
  if (padding_ == PaddingMode::None) return length;

  const std::size_t rest = length % bs;
  std::uint8_t* last = out + whole * bs;
  if (rest > 0) std::memmove(last, in + whole * bs, rest);
  Padding(last, rest, true);
  EncryptBlock(last, last);
  return EncryptedSize(length);
}

std::ptrdiff_t Crypt::DecryptBuffer(const std::uint8_t* in, std::uint8_t* out,
                                     std::size_t length) {
  const std::size_t bs = blockSize_;
  if (length % bs != 0) throw AssertionFailure();
  ResetDecrypt();
  if (length == 0) return 0;
  const std::size_t blocks = length / bs;
  for (std::size_t i = 0; i < blocks; ++i) DecryptBlock(in + i * bs, out + i * bs);
  return static_cast<std::ptrdiff_t>(length) -
         Padding(out + (blocks - 1) * bs, bs, false);
}

// --- CryptCBC -------------------------------------------------------------

void CryptCBC::EncryptBlock(const std::uint8_t* in, std::uint8_t* out) {
  for (std::size_t i = 0; i < blockSize_; ++i) chain_[i] ^= in[i];
  cipher_->Encrypt(chain_.data(), chain_.data());
  std::memmove(out, chain_.data(), blockSize_);
}

void CryptCBC::DecryptBlock(const std::uint8_t* in, std::uint8_t* out) {
  // Keep the ciphertext first: out may be the same buffer as in.
  std::memmove(work_.data(), in, blockSize_);
  cipher_->Decrypt(in, out);
  for (std::size_t i = 0; i < blockSize_; ++i) out[i] ^= chain_[i];
  chain_.swap(work_);
}

}  // namespace zentavo
