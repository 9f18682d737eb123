#include "store/crypt/CryptUtils.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace zentavo {

// --- Cipher ---------------------------------------------------------------

void Cipher::SetKey(const std::uint8_t* /*key*/, std::size_t /*length*/) {}

void Cipher::StoreBlock(const std::uint8_t* in, std::uint8_t* out) const { std::memmove(out, in, BlockSize()); }

void Cipher::LoadBlock(const std::uint8_t* in, std::uint8_t* out) const { std::memmove(out, in, BlockSize()); }

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

Crypt::Crypt(const Cipher& keyedCipher, std::span<const std::uint8_t> iv)
    : cipher_(keyedCipher), blockSize_(keyedCipher.BlockSize()) {
  if (blockSize_ == 0) throw std::invalid_argument("Crypt: zero block size");
  iv_.assign(blockSize_, 0);
  chain_.assign(blockSize_, 0);
  work_.assign(blockSize_, 0);
  std::copy_n(iv.begin(), std::min(blockSize_, iv.size()), iv_.begin());
}

std::size_t Crypt::EncryptedSize(std::size_t length) const { return (length + blockSize_) / blockSize_ * blockSize_; }

std::size_t Crypt::EncryptBuffer(const std::uint8_t* in, std::uint8_t* out, std::size_t length) {
  const std::size_t bs = blockSize_;
  chain_ = iv_;
  const std::size_t whole = length / bs;
  for (std::size_t i = 0; i < whole; ++i) EncryptBlock(in + i * bs, out + i * bs);

  const std::size_t rest = length % bs;
  std::uint8_t* last = out + whole * bs;
  if (rest > 0) std::memmove(last, in + whole * bs, rest);
  std::fill(last + rest, last + bs, static_cast<std::uint8_t>(bs - rest));
  EncryptBlock(last, last);
  return EncryptedSize(length);
}

std::ptrdiff_t Crypt::DecryptBuffer(const std::uint8_t* in, std::uint8_t* out, std::size_t length) {
  const std::size_t bs = blockSize_;
  if (length % bs != 0) throw AssertionFailure();
  chain_ = iv_;
  if (length == 0) return 0;
  for (std::size_t i = 0; i < length; i += bs) DecryptBlock(in + i, out + i);
  return static_cast<std::ptrdiff_t>(length) - out[length - 1];
}

// --- CryptCBC -------------------------------------------------------------

void CryptCBC::EncryptBlock(const std::uint8_t* in, std::uint8_t* out) {
  for (std::size_t i = 0; i < blockSize_; ++i) chain_[i] ^= in[i];
  cipher_.Encrypt(chain_.data(), chain_.data());
  std::memmove(out, chain_.data(), blockSize_);
}

void CryptCBC::DecryptBlock(const std::uint8_t* in, std::uint8_t* out) {
  // Keep the ciphertext first: out may be the same buffer as in.
  std::memmove(work_.data(), in, blockSize_);
  cipher_.Decrypt(in, out);
  for (std::size_t i = 0; i < blockSize_; ++i) out[i] ^= chain_[i];
  chain_.swap(work_);
}

}  // namespace zentavo
