// A small block-cipher framework: an abstract block cipher (Cipher), a
// block-mode engine with last-block padding (Crypt) and its CBC mode
// (CryptCBC). The line cipher uses one configuration of it (Blowfish, CBC,
// PKCS#7); the other padding modes exist so that the engine stays general.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace zentavo {

// Raised when a buffer operation is given a length it cannot work with (a
// ciphertext that is not whole blocks, or unpadded plaintext that is not).
class AssertionFailure : public std::runtime_error {
 public:
  AssertionFailure() : std::runtime_error("Assertion failure") {}
};

// Raised when one-and-zeros padding is not found where it must be.
class CryptError : public std::runtime_error {
 public:
  CryptError() : std::runtime_error("Crypt Error") {}
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

  virtual std::string Name() const = 0;
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

// How the last block is filled when encrypting and measured when decrypting.
// The numeric values are part of the engine's interface.
enum class PaddingMode : std::uint8_t {
  PKCS = 0,         // p bytes of value p (1..BlockSize); always at least one
  OneAndZeros = 1,  // 0x80 then zeros
  Zeros = 2,        // zeros; trailing zeros of the data are lost on decrypt
  Spaces = 3,       // 0x20 bytes; trailing spaces of the data are lost
  None = 4,         // no padding; buffers must be whole blocks
};

// Block-mode engine. The chaining register is restarted from the
// initialisation vector at the start of every buffer operation, so one engine
// may run several independent buffers one after the other (but not at the
// same time: the register is the engine's own state).
class Crypt {
 public:
  // Keys `cipher` with `key` and takes it over (owns-cipher set).
  Crypt(std::span<const std::uint8_t> key, std::unique_ptr<Cipher> cipher,
         std::span<const std::uint8_t> iv, PaddingMode padding);
  // The same with the key given as a string of bytes.
  Crypt(std::string_view key, std::unique_ptr<Cipher> cipher,
         std::span<const std::uint8_t> iv, PaddingMode padding);
  // Uses a cipher that is already keyed and stays with the caller, who must
  // keep it alive for the engine's lifetime (owns-cipher clear).
  Crypt(const Cipher& keyedCipher, std::span<const std::uint8_t> iv,
         PaddingMode padding);
  virtual ~Crypt();
  Crypt(const Crypt&) = delete;
  Crypt& operator=(const Crypt&) = delete;

  // One block in the mode, BlockSize bytes; in == out is allowed.
  virtual void EncryptBlock(const std::uint8_t* in, std::uint8_t* out) = 0;
  virtual void DecryptBlock(const std::uint8_t* in, std::uint8_t* out) = 0;
  virtual void ResetEncrypt();
  virtual void ResetDecrypt();
  // Encrypting: fills bytes count..BlockSize-1 of the block and returns the
  // number of padding bytes. Decrypting (count == BlockSize): returns the
  // number of padding bytes at the end of the block. See PaddingMode.
  virtual int Padding(std::uint8_t* block, std::size_t count, bool encrypting);

  std::size_t BlockSize() const { return blockSize_; }
  PaddingMode Mode() const { return padding_; }
  bool OwnsCipher() const { return ownedCipher_ != nullptr; }

  // Size of the ciphertext for `length` plain bytes.
  std::size_t EncryptedSize(std::size_t length) const;
  // Writes EncryptedSize(length) bytes to out and returns that count.
  // Throws AssertionFailure for unpadded input that is not whole blocks.
  std::size_t EncryptBuffer(const std::uint8_t* in, std::uint8_t* out,
                            std::size_t length);
  // Writes `length` bytes to out and returns the number of plain bytes among
  // them. With PKCS padding and damaged input that number can be negative.
  // Throws AssertionFailure when length is not whole blocks.
  std::ptrdiff_t DecryptBuffer(const std::uint8_t* in, std::uint8_t* out,
                               std::size_t length);

 protected:
  PaddingMode padding_;
  std::unique_ptr<Cipher> ownedCipher_;  // set only when the engine owns it
  const Cipher* cipher_;
  std::size_t blockSize_;
  std::vector<std::uint8_t> iv_;
  std::vector<std::uint8_t> chain_;
  std::vector<std::uint8_t> work_;

 private:
  void InitBlocks(std::span<const std::uint8_t> iv);
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
