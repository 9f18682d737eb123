// Lenient decoding of received header text.
//
// What Japanese mail programs write is often not what RFC 2047 allows: words
// glued to the text around them, Shift_JIS or UTF-8 labelled ISO-8859-1,
// a text split between words in the middle of a character, raw Shift_JIS
// or raw JIS without any word. All of it is read here; the one thing that
// must survive is the ASCII of the identifier and the MailNo, so a word that
// cannot be read costs only its own text, never the text around it.
//
// Every step is linear in the length of the field: a malformed word start is
// given up at the next "?" or blank, which keeps a 100 KB header line cheap.
#include "text/HeaderText.h"

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <optional>

#include "text/ReceivedCharset.h"

namespace zentavo {

namespace {

struct EncodedWord {
  std::string_view charset;
  std::string bytes;  // B or Q undone
  std::size_t end;    // just after its "?="
};

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

int Base64Value(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

// Base64 that forgives: characters outside the alphabet are skipped, the
// padding may be missing, and padding in the middle (two texts run
// together) ends one text and starts the next.
std::string DecodeB(std::string_view text) {
  std::string out;
  std::uint32_t bits = 0;
  int count = 0;
  for (char c : text) {
    if (c == '=') {
      bits = 0;
      count = 0;
      continue;
    }
    const int v = Base64Value(c);
    if (v < 0) continue;
    bits = (bits << 6 | static_cast<std::uint32_t>(v)) & 0xFFFFFF;
    count += 6;
    if (count >= 8) {
      count -= 8;
      out.push_back(static_cast<char>(bits >> count & 0xFF));
    }
  }
  return out;
}

// RFC 2047 Q: "_" is a blank, "=XX" a byte; a "=" without two hex digits
// stays as it is.
std::string DecodeQ(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '_') {
      out.push_back(' ');
    } else if (text[i] == '=' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 && HexValue(text[i + 2]) >= 0) {
      out.push_back(static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2])));
      i += 2;
    } else {
      out.push_back(text[i]);
    }
  }
  return out;
}

// The word "=?charset?B?text?=" (or Q) that starts at `at`, if one does.
// Neither the charset nor the text may hold a blank or a "?".
std::optional<EncodedWord> WordAt(std::string_view s, std::size_t at) {
  constexpr std::size_t kLongestCharset = 64;
  const std::size_t start = at + 2;
  const std::size_t question = s.substr(start, kLongestCharset + 1).find('?');
  if (question == 0 || question == std::string_view::npos) return std::nullopt;
  const std::string_view charset = s.substr(start, question);
  if (std::any_of(charset.begin(), charset.end(), IsBlank)) return std::nullopt;
  const std::size_t encoding = start + question + 1;
  if (encoding + 1 >= s.size() || s[encoding + 1] != '?') return std::nullopt;
  const char kind = static_cast<char>(s[encoding] & ~0x20);
  if (kind != 'B' && kind != 'Q') return std::nullopt;
  const std::size_t textStart = encoding + 2;
  const std::size_t textEnd = s.find_first_of("? \t", textStart);
  if (textEnd == std::string_view::npos || s[textEnd] != '?' || s.substr(textEnd, 2) != "?=") return std::nullopt;
  const std::string_view text = s.substr(textStart, textEnd - textStart);
  return EncodedWord{charset, kind == 'B' ? DecodeB(text) : DecodeQ(text), textEnd + 2};
}

bool SameCharset(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) { return (x | 0x20) == (y | 0x20); });
}

}  // namespace

std::string DecodeHeaderText(std::string_view raw) {
  std::string text;
  text.reserve(raw.size());
  std::copy_if(raw.begin(), raw.end(), std::back_inserter(text), [](char c) { return c != '\r' && c != '\n'; });
  const std::string_view s = text;

  std::string out;
  // Words of one charset that follow each other are decoded as one text.
  std::optional<std::string_view> pendingCharset;
  std::string pendingBytes;
  const auto flush = [&] {
    if (pendingCharset) out += ReceivedTextToSjis(pendingBytes, *pendingCharset);
    pendingCharset.reset();
    pendingBytes.clear();
  };
  std::size_t plainStart = 0;
  for (std::size_t at = s.find("=?"); at != std::string_view::npos; at = s.find("=?", at + 1)) {
    std::optional<EncodedWord> word = WordAt(s, at);
    if (!word) continue;
    const std::string_view between = s.substr(plainStart, at - plainStart);
    if (!pendingCharset || !std::all_of(between.begin(), between.end(), IsBlank)) {
      flush();
      out += ReceivedTextToSjis(between, "");
    } else if (!SameCharset(*pendingCharset, word->charset)) {
      flush();
    }
    if (!pendingCharset) pendingCharset = word->charset;
    pendingBytes += word->bytes;
    // Each ISO-2022-JP word starts in ASCII, also when the one before it
    // forgot to return there.
    if (word->bytes.find("\x1b$") != std::string::npos) pendingBytes += "\x1b(B";
    plainStart = word->end;
    at = word->end - 1;
  }
  flush();
  out += ReceivedTextToSjis(s.substr(plainStart), "");
  // No trail byte of Shift_JIS lies below 0x40, so this touches only
  // one-byte characters.
  for (char& c : out)
    if (static_cast<std::uint8_t>(c) < 0x20 || c == 0x7F) c = ' ';
  const std::size_t first = out.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  return out.substr(first, out.find_last_not_of(' ') - first + 1);
}

}  // namespace zentavo
