// The cipher framework, Blowfish, Base64 and the line cipher built on them.
// Stored lines must never change: every data file written so far depends on
// the exact bytes, so the known-line table below is the one to guard.
#include <gtest/gtest.h>

#include <cstdint>
#include <iterator>
#include <memory>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "store/Base64.h"
#include "store/LineCipher.h"
#include "store/crypt/Blowfish.h"
#include "store/crypt/CryptUtils.h"

namespace zentavo {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes FromHex(std::string_view hex) {
  Bytes out;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
    out.push_back(static_cast<std::uint8_t>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16)));
  return out;
}

std::string ToHex(const Bytes& bytes) {
  static const char digits[] = "0123456789ABCDEF";
  std::string out;
  for (auto b : bytes) {
    out += digits[b >> 4];
    out += digits[b & 15];
  }
  return out;
}

std::unique_ptr<Cipher> KeyedBlowFish(const Bytes& key) {
  auto cipher = std::make_unique<Blowfish>();
  cipher->SetKey(key.data(), key.size());
  return cipher;
}

// --- Blowfish ----------------------------------------------------------------

struct BlockVector {
  const char* key;
  const char* plain;
  const char* cipher;
};

// From the published Blowfish test set, including keys shorter and longer
// than 8 bytes so that the cyclic key reading is exercised.
const BlockVector kBlowFishVectors[] = {
    {"0000000000000000", "0000000000000000", "4EF997456198DD78"},
    {"FFFFFFFFFFFFFFFF", "FFFFFFFFFFFFFFFF", "51866FD5B85ECB8A"},
    {"3000000000000000", "1000000000000001", "7D856F9A613063F2"},
    {"0123456789ABCDEF", "1111111111111111", "61F9C3802281B096"},
    {"FEDCBA9876543210", "0123456789ABCDEF", "0ACEAB0FC6A0A28D"},
    {"F0", "FEDCBA9876543210", "F9AD597C49DB005E"},
    {"F0E1D2", "FEDCBA9876543210", "E9C2B70A1BC65CF3"},
    {"F0E1D2C3B4A5968778695A4B3C2D1E0F0011223344556677", "FEDCBA9876543210",
     "05044B62FA52D080"},
};

TEST(BlowFish, PublishedVectorsBothWays) {
  for (const auto& v : kBlowFishVectors) {
    SCOPED_TRACE(v.key);
    auto cipher = KeyedBlowFish(FromHex(v.key));
    Bytes block = FromHex(v.plain);
    cipher->Encrypt(block.data(), block.data());
    EXPECT_EQ(ToHex(block), v.cipher);
    cipher->Decrypt(block.data(), block.data());
    EXPECT_EQ(ToHex(block), v.plain);
  }
}

TEST(BlowFish, RekeyingStartsFromTheInitialTables) {
  Blowfish cipher;
  const Bytes other = FromHex("0123456789ABCDEF");
  cipher.SetKey(other.data(), other.size());
  const Bytes zero(8, 0);
  cipher.SetKey(zero.data(), zero.size());
  Bytes block(8, 0);
  cipher.Encrypt(block.data(), block.data());
  EXPECT_EQ(ToHex(block), "4EF997456198DD78");
}

// --- Engine: CBC and padding -------------------------------------------------

const Bytes kCbcKey = FromHex("0123456789ABCDEFF0E1D2C3B4A59687");
const Bytes kCbcIV = FromHex("FEDCBA9876543210");

std::unique_ptr<CryptCBC> Engine(PaddingMode mode, const Bytes& iv = kCbcIV) {
  return std::make_unique<CryptCBC>(kCbcKey, KeyedBlowFish(kCbcKey), iv, mode);
}

Bytes Encrypt(Crypt& engine, const Bytes& plain) {
  Bytes out(engine.EncryptedSize(plain.size()));
  out.resize(engine.EncryptBuffer(plain.data(), out.data(), plain.size()));
  return out;
}

// Decrypts without removing anything, to look at the padding bytes.
Bytes RawPlain(const Bytes& cipherText) {
  auto engine = Engine(PaddingMode::None);
  Bytes out(cipherText.size());
  engine->DecryptBuffer(cipherText.data(), out.data(), out.size());
  return out;
}

TEST(CryptCBC, PublishedVectorWithZeroPadding) {
  // The published CBC test: 29 bytes (the text and its terminating zero),
  // filled with zeros to 32.
  const std::string text = "7654321 Now is the time for ";
  Bytes plain(text.begin(), text.end());
  plain.push_back(0);
  auto engine = Engine(PaddingMode::Zeros);
  const Bytes cipherText = Encrypt(*engine, plain);
  EXPECT_EQ(ToHex(cipherText),
            "6B77B4D63006DEE605B156E27403979358DEB9E7154616D959F1652BD5FF92CC");

  // Zero padding cannot tell the text's own trailing zero from padding.
  Bytes out(cipherText.size());
  EXPECT_EQ(engine->DecryptBuffer(cipherText.data(), out.data(), out.size()), 28);
  EXPECT_EQ(Bytes(out.begin(), out.begin() + 28), Bytes(plain.begin(), plain.end() - 1));
}

TEST(CryptCBC, EachBufferRestartsFromTheIV) {
  auto engine = Engine(PaddingMode::PKCS);
  const Bytes plain = FromHex("00112233445566778899");
  const Bytes first = Encrypt(*engine, plain);
  EXPECT_EQ(Encrypt(*engine, plain), first);
  // In place, as the engine writes the padded block into the output.
  Bytes buffer = first;
  EXPECT_EQ(engine->DecryptBuffer(buffer.data(), buffer.data(), buffer.size()), 10);
  EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + 10), plain);
}

TEST(CryptCBC, ShortIVIsZeroFilledAndLongIVIsCut) {
  const Bytes plain = FromHex("0102030405060708");
  EXPECT_EQ(Encrypt(*Engine(PaddingMode::None, FromHex("ABCDEF")), plain),
            Encrypt(*Engine(PaddingMode::None, FromHex("ABCDEF0000000000")), plain));
  EXPECT_EQ(Encrypt(*Engine(PaddingMode::None, FromHex("1122334455667788FF")), plain),
            Encrypt(*Engine(PaddingMode::None, FromHex("1122334455667788")), plain));
}

TEST(CryptPadding, EveryModeFillsAndRemovesItsBytes) {
  struct Case {
    PaddingMode mode;
    const char* plain;
    const char* lastBlock;  // after encrypting and decrypting without removal
  };
  const Case cases[] = {
      {PaddingMode::PKCS, "4142434445", "4142434445030303"},
      {PaddingMode::PKCS, "4142434445464748", "0808080808080808"},
      {PaddingMode::OneAndZeros, "4142434445", "4142434445800000"},
      {PaddingMode::OneAndZeros, "41424344454647", "4142434445464780"},
      {PaddingMode::Zeros, "4142434445", "4142434445000000"},
      {PaddingMode::Spaces, "4142434445", "4142434445202020"},
      {PaddingMode::None, "4142434445464748", "4142434445464748"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.lastBlock);
    auto engine = Engine(c.mode);
    const Bytes plain = FromHex(c.plain);
    const Bytes cipherText = Encrypt(*engine, plain);
    ASSERT_EQ(cipherText.size(), engine->EncryptedSize(plain.size()));
    const Bytes raw = RawPlain(cipherText);
    EXPECT_EQ(ToHex(Bytes(raw.end() - 8, raw.end())), c.lastBlock);

    Bytes out(cipherText.size());
    const auto n = engine->DecryptBuffer(cipherText.data(), out.data(), out.size());
    ASSERT_EQ(n, static_cast<std::ptrdiff_t>(plain.size()));
    EXPECT_EQ(Bytes(out.begin(), out.begin() + n), plain);
  }
}

TEST(CryptPadding, SizesAndLengthChecks) {
  auto none = Engine(PaddingMode::None);
  EXPECT_EQ(none->EncryptedSize(16), 16u);
  Bytes buffer(16);
  EXPECT_THROW(none->EncryptBuffer(buffer.data(), buffer.data(), 5), AssertionFailure);
  EXPECT_EQ(none->EncryptBuffer(buffer.data(), buffer.data(), 0), 0u);

  auto pkcs = Engine(PaddingMode::PKCS);
  EXPECT_EQ(pkcs->EncryptedSize(0), 8u);
  EXPECT_EQ(pkcs->EncryptedSize(15), 16u);
  EXPECT_EQ(pkcs->EncryptedSize(16), 24u);
  EXPECT_EQ(pkcs->DecryptBuffer(buffer.data(), buffer.data(), 0), 0);
  try {
    pkcs->DecryptBuffer(buffer.data(), buffer.data(), 12);
    FAIL() << "no exception";
  } catch (const AssertionFailure& e) {
    EXPECT_STREQ(e.what(), "Assertion failure");
  }
}

TEST(CryptPadding, OneAndZerosRejectsMissingMarker) {
  for (const char* block : {"0000000000000000", "4142434445464748", "4142434445460001"}) {
    SCOPED_TRACE(block);
    const Bytes cipherText = Encrypt(*Engine(PaddingMode::None), FromHex(block));
    Bytes out(cipherText.size());
    try {
      Engine(PaddingMode::OneAndZeros)->DecryptBuffer(cipherText.data(), out.data(), out.size());
      FAIL() << "no exception";
    } catch (const CryptError& e) {
      EXPECT_STREQ(e.what(), "Crypt Error");
    }
  }
}

// --- Line cipher -------------------------------------------------------------

struct KnownLine {
  std::string plain;
  const char* stored;
};

// Cross-checked against an independent Blowfish-CBC implementation.
const KnownLine kKnownLines[] = {
    {"", "Yx7RE+BNR70="},
    {"abc", "IPWhgmNbmCg="},
    {"12345678", "kHhf+hRf6sewB4GxaEZ90w=="},
    {"MailNo=000123", "vEq2+9AOu2a8w1IgJW9dNw=="},
    {"\x89\xEF\x8B\x63\x82", "25VBSLQK1rA="},
};

TEST(LineCipher, KnownStoredLines) {
  for (const auto& k : kKnownLines) {
    SCOPED_TRACE(k.stored);
    EXPECT_EQ(EncryptLine(k.plain), k.stored);
    EXPECT_EQ(DecryptLine(k.stored), k.plain);
  }
}

TEST(LineCipher, StoredLengthFollowsPlainLength) {
  const std::pair<std::size_t, std::size_t> sizes[] = {{0, 12}, {7, 12}, {8, 24}, {9, 24}, {16, 32}};
  for (auto [plain, stored] : sizes) {
    SCOPED_TRACE(plain);
    const std::string line = EncryptLine(std::string(plain, 'x'));
    EXPECT_EQ(line.size(), stored);
    EXPECT_EQ(DecodeBase64(line).size(), 8 * (plain / 8 + 1));
  }
}

TEST(LineCipher, RoundTripsEveryByteValue) {
  std::string all;
  for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
  const std::string lines[] = {
      all,
      "\x93\x8C\x8B\x9E\x93\x73\x81\x40\x90\x56\x8F\x68",  // two-byte characters
      "\x89\xEF\x8B\x63\x82",                              // ends in a lead byte
      std::string("\0\0", 2),
  };
  for (const auto& plain : lines) {
    const std::string stored = EncryptLine(plain);
    EXPECT_EQ(stored, EncryptLine(plain));
    EXPECT_EQ(DecryptLine(stored), plain);
  }
}

TEST(LineCipher, DamagedStoredLines) {
  EXPECT_EQ(DecryptLine(""), "");
  EXPECT_EQ(DecryptLine("\r\n"), "");
  // 16 characters decode to 12 bytes: not whole blocks.
  EXPECT_THROW(DecryptLine("AAAAAAAAAAAAAAAA"), AssertionFailure);
  // Valid lengths decrypt without complaint; the last byte decides the cut.
  EXPECT_EQ(DecryptLine("AAAAAAAAAAA="), "");  // claims 0x6A padding bytes
  EXPECT_EQ(DecryptLine("AAAAAAAAAKw="), std::string("\xE2\x28\x63\x46\x09\xE1\xB6\x00", 8));
}

TEST(LineCipher, CallsFromSeveralThreadsAgree) {
  std::vector<std::thread> threads;
  std::vector<int> failures(4, 0);
  for (std::size_t t = 0; t < 4; ++t) {
    threads.emplace_back([t, &failures] {
      for (std::size_t i = 0; i < 200; ++i) {
        const auto& k = kKnownLines[(t + i) % std::size(kKnownLines)];
        if (EncryptLine(k.plain) != k.stored || DecryptLine(k.stored) != k.plain)
          ++failures[t];
      }
    });
  }
  for (auto& th : threads) th.join();
  EXPECT_EQ(failures, std::vector<int>(4, 0));
}

// --- Base64 ------------------------------------------------------------------

TEST(Base64, StandardVectors) {
  const std::pair<const char*, const char*> vectors[] = {
      {"", ""},         {"f", "Zg=="},         {"fo", "Zm8="},
      {"foo", "Zm9v"},  {"foob", "Zm9vYg=="},  {"fooba", "Zm9vYmE="},
      {"foobar", "Zm9vYmFy"}, {"\xFB\xFF\xBF", "+/+/"},
  };
  for (auto [plain, text] : vectors) {
    EXPECT_EQ(EncodeBase64(plain), text);
    EXPECT_EQ(DecodeBase64(text), plain);
  }
}

TEST(Base64, DecodingSkipsLineBreaksAndStopsGroupsAtEquals) {
  EXPECT_EQ(DecodeBase64("Zm9v\r\nYmFy\r\n"), "foobar");
  EXPECT_EQ(DecodeBase64("Zm\n9vYg=\r="), "foob");
  EXPECT_EQ(DecodeBase64("Zm8=Zm8="), "fofo");  // "=" ends only its own group
  EXPECT_EQ(DecodeBase64("Zm8"), "fo");  // missing "=" is harmless
  EXPECT_EQ(DecodeBase64("Zg"), "f");
}

TEST(Base64, HostileTextKeepsTheLengthFormula) {
  // Length = (n div 4) * 3 + (n mod 4 - 1 when n mod 4 != 0), n counting
  // everything but CR, LF and "=".
  const std::pair<std::string, std::size_t> cases[] = {
      {"=", 0},         {"====", 0},       {"A", 0},          {"AB", 1},
      {"ABC", 2},       {"ABCDE", 3},      {"A=BC", 2},       {"AB==CD==", 3},
      {"!!!!", 3},      {"====AAAA", 3},   {"\r\n=\r", 0},    {std::string("\xFF\x80\x00?", 4), 3},
      {std::string(4001, '*'), 3000},
  };
  for (const auto& [text, length] : cases) {
    SCOPED_TRACE(text.substr(0, 16));
    EXPECT_EQ(DecodeBase64(text).size(), length);
  }
  EXPECT_EQ(DecodeBase64("!!!!"), std::string(3, '\0'));  // unknown characters are 0
}

}  // namespace
}  // namespace zentavo
