// A small block-cipher framework: an abstract block cipher (Cipher), a
// block-mode engine with PKCS#7 padding of the last block (Crypt) and its CBC
// mode (CryptCBC). The line cipher runs Blowfish through CryptCBC.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <vector>

namespace zentavo {

// Raised when a ciphertext is not whole blocks (a damaged or hand-edited
// stored line).
class AssertionFailure : public std::runtime_error {
 public:
  AssertionFailure() : std::runtime_error("Assertion failure") {}
};

// Abstract block cipher. Blocks move through three steps: LoadBlock turns the
// block bytes into the cipher's internal form (in a buffer of BlockSize bytes),
// EncryptBlock/DecryptBlock work on that form, StoreBlock turns it back into
// bytes. Every block operation accepts in == out.
//
// The block operations are const: once keyed, a cipher is read-only and one
// instance can serve any number of engines on any number of threads.
class Cipher {
 public:
  Cipher() = default;
  virtual ~Cipher() = default;
  Cipher(const Cipher&) = delete;
  Cipher& operator=(const Cipher&) = delete;

  virtual std::size_t BlockSize() const = 0;
  // Installs a key. Ciphers without a key schedule may leave this as is.
  virtual void SetKey(const std::uint8_t* key, std::size_t length);
  virtual void EncryptBlock(const std::uint8_t* in, std::uint8_t* out) const = 0;
  virtual void DecryptBlock(const std::uint8_t* in, std::uint8_t* out) const = 0;
  // Internal form -> bytes. The plain copy suits ciphers that work on bytes.
  virtual void StoreBlock(const std::uint8_t* in, std::uint8_t* out) const;
  // Bytes -> internal form.
  virtual void LoadBlock(const std::uint8_t* in, std::uint8_t* out) const;

  // One block of bytes through the cipher: Load, Encrypt/Decrypt, Store.
  void Encrypt(const std::uint8_t* in, std::uint8_t* out) const;
  void Decrypt(const std::uint8_t* in, std::uint8_t* out) const;
};

// Block-mode engine. The last block is always padded PKCS#7 style: p bytes
// of value p (1..BlockSize), so there is always at least one. The chaining
// register restarts from the initialisation vector at the start of every
// buffer operation, so one engine may run several independent buffers one
// after the other (but not at the same time: the register is its own state).
class Crypt {
 public:
  // `keyedCipher` stays with the caller, who keeps it alive for the engine's
  // lifetime. A short `iv` is filled with zeros, a long one cut.
  Crypt(const Cipher& keyedCipher, std::span<const std::uint8_t> iv);
  virtual ~Crypt() = default;
  Crypt(const Crypt&) = delete;
  Crypt& operator=(const Crypt&) = delete;

  // One block in the mode, BlockSize bytes; in == out is allowed.
  virtual void EncryptBlock(const std::uint8_t* in, std::uint8_t* out) = 0;
  virtual void DecryptBlock(const std::uint8_t* in, std::uint8_t* out) = 0;

  // Size of the ciphertext for `length` plain bytes.
  std::size_t EncryptedSize(std::size_t length) const;
  // Writes EncryptedSize(length) bytes to out and returns that count.
  std::size_t EncryptBuffer(const std::uint8_t* in, std::uint8_t* out, std::size_t length);
  // Writes `length` bytes to out and returns the number of plain bytes among
  // them. Only the last byte says how much padding there is (no integrity
  // check), so for damaged input that number can be negative.
  // Throws AssertionFailure when length is not whole blocks.
  std::ptrdiff_t DecryptBuffer(const std::uint8_t* in, std::uint8_t* out, std::size_t length);

 protected:
  const Cipher& cipher_;
  std::size_t blockSize_;
  std::vector<std::uint8_t> iv_;
  std::vector<std::uint8_t> chain_;
  std::vector<std::uint8_t> work_;
};

// Cipher block chaining: each plaintext block is XORed with the previous
// ciphertext block (the initialisation vector for the first) before it is
// enciphered.
class CryptCBC : public Crypt {
 public:
  using Crypt::Crypt;

  void EncryptBlock(const std::uint8_t* in, std::uint8_t* out) override;
  void DecryptBlock(const std::uint8_t* in, std::uint8_t* out) override;
};

}  // namespace zentavo
