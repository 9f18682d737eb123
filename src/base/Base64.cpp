#include "base/Base64.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace zentavo {

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// Characters outside the alphabet (and "=") decode as 0: the decoder is meant
// for text this program wrote, and a damaged line must yield bytes of the
// expected length rather than stop half way.
constexpr std::array<std::uint8_t, 256> MakeDecodeTable() {
  std::array<std::uint8_t, 256> table{};
  for (std::size_t i = 0; i < 64; ++i) table[static_cast<unsigned char>(kAlphabet[i])] = static_cast<std::uint8_t>(i);
  return table;
}

constexpr std::array<std::uint8_t, 256> kDecode = MakeDecodeTable();

bool IsLineBreak(char c) { return c == '\r' || c == '\n'; }

}  // namespace

std::string EncodeBase64(std::string_view bytes) {
  const std::size_t n = bytes.size();
  std::string out;
  out.reserve((n + 2) / 3 * 4);
  auto at = [&](std::size_t i) -> std::uint32_t { return static_cast<unsigned char>(bytes[i]); };
  std::size_t i = 0;
  for (; i + 3 <= n; i += 3) {
    const std::uint32_t v = (at(i) << 16) | (at(i + 1) << 8) | at(i + 2);
    out += kAlphabet[(v >> 18) & 63];
    out += kAlphabet[(v >> 12) & 63];
    out += kAlphabet[(v >> 6) & 63];
    out += kAlphabet[v & 63];
  }
  if (n - i == 1) {
    const std::uint32_t v = at(i) << 16;
    out += kAlphabet[(v >> 18) & 63];
    out += kAlphabet[(v >> 12) & 63];
    out += "==";
  } else if (n - i == 2) {
    const std::uint32_t v = (at(i) << 16) | (at(i + 1) << 8);
    out += kAlphabet[(v >> 18) & 63];
    out += kAlphabet[(v >> 12) & 63];
    out += kAlphabet[(v >> 6) & 63];
    out += '=';
  }
  return out;
}

std::string DecodeBase64(std::string_view text) {
  // The length comes from the count of data characters alone; the groups
  // below then fill it. On well-formed text the two agree. On anything else
  // the output keeps this length: bytes a group cannot supply stay zero and
  // bytes beyond it are dropped.
  std::size_t n = 0;
  for (char c : text)
    if (!IsLineBreak(c) && c != '=') ++n;
  const std::size_t size = n / 4 * 3 + (n % 4 != 0 ? n % 4 - 1 : 0);
  std::string out(size, '\0');

  std::size_t pos = 0;
  auto put = [&](std::uint32_t byte) {
    if (pos < size) out[pos++] = static_cast<char>(byte & 0xFF);
  };
  // A group is four characters other than CR and LF; a final short group is
  // read as if "=" completed it.
  std::array<char, 4> group{};
  std::size_t filled = 0;
  auto flush = [&] {
    for (std::size_t k = filled; k < 4; ++k) group[k] = '=';
    std::uint32_t v = 0;
    for (char c : group) v = (v << 6) | kDecode[static_cast<unsigned char>(c)];
    put(v >> 16);
    if (group[2] != '=') {
      put(v >> 8);
      if (group[3] != '=') put(v);
    }
    filled = 0;
  };
  for (char c : text) {
    if (IsLineBreak(c)) continue;
    group[filled++] = c;
    if (filled == 4) flush();
  }
  if (filled > 0) flush();
  return out;
}

}  // namespace zentavo
