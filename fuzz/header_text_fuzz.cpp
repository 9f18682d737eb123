// The lenient header decoder, and the structured fields read with it, on
// arbitrary header text: the result is always one line of code page 932,
// and plain ASCII text without a word in it comes back as it was.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "receive/StructuredHeaders.h"
#include "text/HeaderText.h"
#include "text/ReceivedCharset.h"
#include "text/SjisUnicode.h"

namespace {

bool Shown(const std::string& sjis) { return zentavo::SjisToUtf8(sjis).find("\xEF\xBF\xBD") == std::string::npos; }

bool OneLine(const std::string& sjis) {
  return std::none_of(sjis.begin(), sjis.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20; }) &&
         Shown(sjis);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);

  const std::string decoded = zentavo::DecodeHeaderText(text);
  if (!OneLine(decoded) || decoded.starts_with(' ') || decoded.ends_with(' ')) std::abort();
  const bool printable = std::all_of(text.begin(), text.end(), [](char c) { return c >= 0x20 && c < 0x7F; });
  if (printable && text.find("=?") == std::string_view::npos) {
    const size_t first = text.find_first_not_of(' ');
    const std::string_view trimmed = first == std::string_view::npos
                                         ? std::string_view()
                                         : text.substr(first, text.find_last_not_of(' ') - first + 1);
    if (decoded != trimmed) std::abort();
  }

  if (!OneLine(zentavo::SenderAsShown(text))) std::abort();
  if (auto name = zentavo::FileNameParameter(text, "filename"); name && !OneLine(*name)) std::abort();

  // The first line as a charset label, the rest as text in it.
  const size_t end = std::min(text.find('\n'), text.size());
  if (!Shown(zentavo::ReceivedTextToSjis(text.substr(std::min(end + 1, size)), text.substr(0, end)))) std::abort();
  return 0;
}
