// Blowfish, Base64 and the line cipher built on them. Stored lines must never
// change: every data file written so far depends on the exact bytes, so the
// known-line table below is the one to guard.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/Base64.h"
#include "store/LineCipher.h"
#include "store/crypt/Blowfish.h"
#include "store/crypt/CryptUtils.h"

namespace zentavo {
namespace {

std::vector<std::uint8_t> FromHex(std::string_view hex) {
  std::vector<std::uint8_t> out;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
    out.push_back(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16));
  return out;
}

// From the published Blowfish test set (key, plain, cipher), including keys
// shorter and longer than 8 bytes so that the cyclic key reading is
// exercised.
const char* const kBlowfishVectors[][3] = {
    {"0000000000000000", "0000000000000000", "4EF997456198DD78"},
    {"FFFFFFFFFFFFFFFF", "FFFFFFFFFFFFFFFF", "51866FD5B85ECB8A"},
    {"3000000000000000", "1000000000000001", "7D856F9A613063F2"},
    {"FEDCBA9876543210", "0123456789ABCDEF", "0ACEAB0FC6A0A28D"},
    {"F0", "FEDCBA9876543210", "F9AD597C49DB005E"},
    {"F0E1D2", "FEDCBA9876543210", "E9C2B70A1BC65CF3"},
    {"F0E1D2C3B4A5968778695A4B3C2D1E0F0011223344556677", "FEDCBA9876543210", "05044B62FA52D080"},
};

TEST(Blowfish, PublishedVectorsBothWays) {
  Blowfish cipher;
  for (const auto& [key, plain, expected] : kBlowfishVectors) {
    const auto k = FromHex(key);
    cipher.SetKey(k.data(), k.size());  // rekeying starts from the initial tables
    auto block = FromHex(plain);
    cipher.Encrypt(block.data(), block.data());
    EXPECT_EQ(block, FromHex(expected)) << key;
    cipher.Decrypt(block.data(), block.data());
    EXPECT_EQ(block, FromHex(plain)) << key;
  }
}

// Cross-checked against an independent Blowfish-CBC implementation. The
// lengths 0, 7, 8 and 16 are PKCS#7's edges: a whole block of padding after
// every multiple of 8, one byte after 7.
// clang-format off
const std::pair<std::string, const char*> kKnownLines[] = {
    {"", "Yx7RE+BNR70="}, {"abc", "IPWhgmNbmCg="}, {"1234567", "HmyKbePZls0="},
    {"12345678", "kHhf+hRf6sewB4GxaEZ90w=="}, {"MailNo=000123", "vEq2+9AOu2a8w1IgJW9dNw=="},
    {"0123456789ABCDEF", "fMGvvzbURDdCNs5sVPSZ6jm3VsB9UZYY"},
    {"\x89\xEF\x8B\x63\x82", "25VBSLQK1rA="},  // ends in a lead byte
};
// clang-format on

TEST(LineCipher, KnownStoredLines) {
  for (const auto& [plain, stored] : kKnownLines) {
    EXPECT_EQ(EncryptLine(plain), stored);
    EXPECT_EQ(DecryptLine(stored), plain);
  }
  std::string everyByte;
  for (int b = 0; b < 256; ++b) everyByte += static_cast<char>(b);
  EXPECT_EQ(DecryptLine(EncryptLine(everyByte)), everyByte);
}

TEST(LineCipher, DamagedStoredLines) {
  EXPECT_EQ(DecryptLine(""), "");
  // 16 characters decode to 12 bytes: not whole blocks.
  EXPECT_THROW(DecryptLine("AAAAAAAAAAAAAAAA"), AssertionFailure);
  // Valid lengths decrypt without complaint; the last byte decides the cut.
  EXPECT_EQ(DecryptLine("AAAAAAAAAAA="), "");  // claims 0x6A padding bytes
  EXPECT_EQ(DecryptLine("AAAAAAAAAKw="), std::string("\xE2\x28\x63\x46\x09\xE1\xB6\x00", 8));
}

TEST(Base64, VectorsAndTheDecodersLeniency) {
  const std::pair<std::string, std::string> both[] = {{"", ""},
                                                      {"f", "Zg=="},
                                                      {"fo", "Zm8="},
                                                      {"foo", "Zm9v"},
                                                      {"foob", "Zm9vYg=="},
                                                      {"fooba", "Zm9vYmE="},
                                                      {"foobar", "Zm9vYmFy"},
                                                      {"\xFB\xFF\xBF", "+/+/"}};
  for (const auto& [plain, text] : both) {
    EXPECT_EQ(EncodeBase64(plain), text);
    EXPECT_EQ(DecodeBase64(text), plain);
  }
  // Line breaks are skipped, "=" ends only its own group, a missing "=" is
  // harmless, unknown characters count as zero bits.
  const std::pair<std::string, std::string> decodeOnly[] = {
      {"Zm9v\r\nYmFy\r\n", "foobar"}, {"Zm\n9vYg=\r=", "foob"},        {"Zm8=Zm8=", "fofo"}, {"Zm8", "fo"},
      {"!!!!", std::string(3, '\0')}, {"A=BC", std::string("\0\0", 2)}};
  for (const auto& [text, plain] : decodeOnly) EXPECT_EQ(DecodeBase64(text), plain) << text;
}

}  // namespace
}  // namespace zentavo
