// Decoding of "=?ISO-2022-JP?B?...?=" words in received From and Subject
// texts.
//
// This is a lenient, forgiving decoder on purpose: the texts come from many
// different mail programs, and the only thing done with the result is to
// show it and to look for the identifier and the mail number in it. So
// nothing here rejects input. Two quirks belong to the behaviour and are
// kept: every "?=" disappears, even in plain text, and zero bytes in the
// second and third place of a Base64 group are dropped.
#include "text/EncodedWords.h"

#include <cstddef>
#include <cstdint>

#include "text/KanjiCode.h"

namespace zentavo {

namespace {

constexpr std::string_view kWordStart = "=?ISO-2022-JP?B?";
constexpr std::string_view kWordEnd = "?=";

char AsciiUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

bool StartsWordAt(std::string_view s, std::size_t i) {
  if (s.size() - i < kWordStart.size()) return false;
  for (std::size_t k = 0; k < kWordStart.size(); ++k) {
    if (AsciiUpper(s[i + k]) != kWordStart[k]) return false;
  }
  return true;
}

// 0..63 for the Base64 alphabet, 64 for anything else, "=" included; the
// value 64 has no bits inside any of the masks below, so it adds zero bits.
unsigned Base64Value(char c) {
  if (c >= 'A' && c <= 'Z') return static_cast<unsigned>(c - 'A');
  if (c >= 'a' && c <= 'z') return static_cast<unsigned>(c - 'a') + 26;
  if (c >= '0' && c <= '9') return static_cast<unsigned>(c - '0') + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return 64;
}

bool StartsWith3(std::string_view b, std::size_t i, std::string_view three) {
  return b.size() - i >= 3 && b.substr(i, 3) == three;
}

}  // namespace

std::string DecodeBase64Groups(std::string_view text) {
  std::string out;
  out.reserve(text.size() / 4 * 3);
  // An incomplete last group is dropped.
  for (std::size_t i = 0; i + 4 <= text.size(); i += 4) {
    const unsigned x1 = Base64Value(text[i]);
    const unsigned x2 = Base64Value(text[i + 1]);
    const unsigned x3 = Base64Value(text[i + 2]);
    const unsigned x4 = Base64Value(text[i + 3]);
    const auto b1 = static_cast<std::uint8_t>(x1 * 4 + (x2 & 0x30) / 16);
    const auto b2 = static_cast<std::uint8_t>((x2 & 0x0F) * 16 + (x3 & 0x3C) / 4);
    const auto b3 = static_cast<std::uint8_t>((x3 & 0x03) * 64 + (x4 & 0x3F));
    // Padding decodes to zero bytes; dropping zeros in the second and third
    // place removes it without counting "=" characters.
    out.push_back(static_cast<char>(b1));
    if (b2 != 0) out.push_back(static_cast<char>(b2));
    if (b3 != 0) out.push_back(static_cast<char>(b3));
  }
  return out;
}

std::string JisWordToSjis(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  bool kanji = false;
  std::size_t i = 0;
  while (i < bytes.size()) {
    if (StartsWith3(bytes, i, "\x1b$B")) {
      kanji = true;
      i += 3;
    } else if (StartsWith3(bytes, i, "\x1b(B") || StartsWith3(bytes, i, "\x1b(J")) {
      kanji = false;
      i += 3;
    } else if (kanji) {
      // A lone last byte is dropped, and so is a pair that cannot be a JIS
      // X 0208 character by its first byte.
      if (i + 1 < bytes.size()) {
        const auto j1 = static_cast<std::uint8_t>(bytes[i]);
        const auto j2 = static_cast<std::uint8_t>(bytes[i + 1]);
        if (j1 >= 0x21 && j1 <= 0x7E) {
          const auto s = JisPairToSjis(j1, j2);
          out.push_back(static_cast<char>(s[0]));
          out.push_back(static_cast<char>(s[1]));
        }
      }
      i += 2;
    } else {
      out.push_back(bytes[i]);
      i += 1;
    }
  }
  return out;
}

std::string DecodeEncodedWords(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  std::string pending;  // Base64 text of the word being read
  bool inWord = false;
  std::size_t i = 0;
  while (i < text.size()) {
    if (StartsWordAt(text, i)) {
      inWord = true;
      i += kWordStart.size();
      continue;
    }
    // Looked for everywhere, so a "?=" outside a word is removed as well.
    // The byte right after it is taken as it is, without looking for a new
    // word start there.
    if (text.substr(i, kWordEnd.size()) == kWordEnd) {
      inWord = false;
      i += kWordEnd.size();
    }
    if (inWord) {
      if (i < text.size()) pending.push_back(text[i]);
    } else {
      if (!pending.empty()) {
        out += JisWordToSjis(DecodeBase64Groups(pending));
        pending.clear();
      }
      if (i < text.size()) out.push_back(text[i]);
    }
    i += 1;
  }
  // A word still open here has no "?=" and is dropped with its text.
  return out;
}

}  // namespace zentavo
