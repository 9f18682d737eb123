// The header decoder on arbitrary From and Subject texts.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "text/EncodedWords.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);

  const std::string decoded = zentavo::DecodeEncodedWords(text);
  // Without a "?" there is neither a word nor a "?=" to remove.
  if (text.find('?') == std::string_view::npos && decoded != text) std::abort();

  const std::string bytes = zentavo::DecodeBase64Groups(text);
  if (bytes.size() > size / 4 * 3) std::abort();

  const std::string sjis = zentavo::JisWordToSjis(text);
  if (sjis.size() > size) std::abort();
  (void)zentavo::JisWordToSjis(bytes);
  return 0;
}
