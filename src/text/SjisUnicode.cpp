#include "text/SjisUnicode.h"

#include <algorithm>
#include <stdexcept>

#include "text/KeptConverter.h"

namespace zentavo {
namespace {

// The thread's kept descriptor (text/KeptConverter.h): these run for every
// message received and every notice listed, far too often to open one per
// call, and one per thread keeps them safe to call from any thread.
class Iconv {
 public:
  Iconv(const char* to, const char* from) : cv_(to, from) {
    if (!cv_.ok()) throw std::runtime_error(std::string("iconv cannot convert from ") + from + " to " + to);
  }

  // Converts as much of [in, in+left) as it can; returns errno of the stop
  // (0 when all input was taken).
  int Run(const char*& in, size_t& left, std::string& out) {
    std::string_view rest(in, left);
    const int error = cv_.Run(rest, out);
    in = rest.data();
    left = rest.size();
    return error;
  }

 private:
  KeptConverter cv_;
};

// Length of the UTF-8 sequence starting with `lead` (1 for a stray byte).
size_t Utf8Length(unsigned char lead) {
  if (lead >= 0xF0 && lead <= 0xF4) return 4;
  if (lead >= 0xE0) return lead <= 0xEF ? 3 : 1;
  if (lead >= 0xC2) return 2;
  return 1;
}

// U+E000..U+E757 in UTF-8: EE 80 80 .. EE 9D 97. An 0xEE byte only ever
// starts a character, so the test is safe at any position.
bool IsUserDefinedAt(std::string_view utf8, size_t i) {
  if (i + 2 >= utf8.size() || static_cast<unsigned char>(utf8[i]) != 0xEE) return false;
  const auto b1 = static_cast<unsigned char>(utf8[i + 1]);
  const auto b2 = static_cast<unsigned char>(utf8[i + 2]);
  if (b2 < 0x80 || b2 > 0xBF) return false;
  return (b1 >= 0x80 && b1 < 0x9D) || (b1 == 0x9D && b2 <= 0x97);
}

void Append(SjisConversion& to, SjisConversion&& part) {
  to.text += part.text;
  for (auto& d : part.dropped) to.dropped.push_back(std::move(d));
}

}  // namespace

SjisConversion Utf8ToSjis(std::string_view utf8) {
  SjisConversion result;
  Iconv cv("CP932", "UTF-8");
  const char* in = utf8.data();
  size_t left = utf8.size();
  while (left > 0) {
    if (cv.Run(in, left, result.text) == 0) break;
    // EILSEQ or EINVAL: a character that code page 932 lacks, or broken
    // UTF-8. Leave the one character out and say which it was.
    size_t n = std::min(Utf8Length(static_cast<unsigned char>(*in)), left);
    result.dropped.emplace_back(in, n);
    in += n;
    left -= n;
  }
  return result;
}

SjisConversion Utf8ToMailSjis(std::string_view utf8) {
  SjisConversion result;
  size_t start = 0;
  for (size_t i = 0; i < utf8.size(); ++i) {
    if (!IsUserDefinedAt(utf8, i)) continue;
    Append(result, Utf8ToSjis(utf8.substr(start, i - start)));
    result.dropped.emplace_back(utf8.substr(i, 3));
    start = i + 3;
    i += 2;
  }
  Append(result, Utf8ToSjis(utf8.substr(start)));
  return result;
}

std::string Sj(std::string_view utf8) {
  SjisConversion c = Utf8ToSjis(utf8);
  if (!c.dropped.empty()) { throw std::logic_error("text not representable in code page 932: " + std::string(utf8)); }
  return c.text;
}

std::string SjisToUtf8(std::string_view sjis) {
  std::string out;
  Iconv cv("UTF-8", "CP932");
  const char* in = sjis.data();
  size_t left = sjis.size();
  while (left > 0) {
    if (cv.Run(in, left, out) == 0) break;
    // An invalid byte or a lead byte without its trail: one replacement
    // character, then go on with the next byte.
    out += "\xEF\xBF\xBD";
    ++in;
    --left;
  }
  return out;
}

}  // namespace zentavo
