// Every Japanese code conversion on arbitrary bytes: received mail bodies and
// attachment names go through these unchecked.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "text/KanjiCode.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);

  const int code = zentavo::DetectKanjiCode(text);
  if (code < zentavo::kCodeAscii || code > zentavo::kCodeEucOrSjis) std::abort();

  for (int target : {zentavo::kCodeJisNew, zentavo::kCodeEuc, zentavo::kCodeSjis}) {
    const std::string out = zentavo::ConvertKanjiCode(text, target);
    // Texts the dispatcher does not convert come back byte for byte.
    if ((code < zentavo::kCodeJisNew || code == zentavo::kCodeEucOrSjis) && out != text) {
      std::abort();
    }
  }
  if (zentavo::ConvertKanjiCode(text, zentavo::kCodeJisOld) != text) std::abort();

  (void)zentavo::SjisToJis(text);
  (void)zentavo::EucToJis(text);
  (void)zentavo::JisToSjis(text);
  (void)zentavo::EucToSjis(text);
  (void)zentavo::SjisToEuc(text);
  // JIS to EUC-JP only drops escapes, byte for byte otherwise.
  if (zentavo::JisToEuc(text).size() > text.size()) std::abort();
  return 0;
}
