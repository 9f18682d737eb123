// Every Japanese code conversion on arbitrary bytes: received mail bodies and
// attachment names go through these unchecked, and whatever the operator's
// text holds goes out through SjisToMailJis.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <utility>

#include "text/KanjiCode.h"
#include "text/SjisToMailJis.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace zentavo;
  const std::string_view text(reinterpret_cast<const char*>(data), size);

  const KanjiCode code = DetectKanjiCode(text);
  // Texts the dispatcher does not convert come back byte for byte, and so
  // does a text converted to the code it is in.
  const bool unconverted = code == KanjiCode::Ascii || code == KanjiCode::Binary || code == KanjiCode::EucOrSjis;
  for (const auto& [target, same] :
       {std::pair{KanjiTarget::Jis, KanjiCode::JisNew}, std::pair{KanjiTarget::Euc, KanjiCode::Euc},
        std::pair{KanjiTarget::Sjis, KanjiCode::Sjis}}) {
    if ((unconverted || code == same) && ConvertKanjiCode(text, target) != text) std::abort();
  }
  // Mail labelled ISO-2022-JP, 7bit: never a byte above 0x7F.
  for (char c : SjisToMailJis(text))
    if (static_cast<unsigned char>(c) >= 0x80) std::abort();

  (void)SjisToJis(text), (void)EucToJis(text), (void)JisToSjis(text), (void)EucToSjis(text), (void)SjisToEuc(text);
  // JIS to EUC-JP only drops escapes, byte for byte otherwise.
  if (JisToEuc(text).size() > text.size()) std::abort();
  return 0;
}
