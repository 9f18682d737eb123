// Any received message read as a possible delivery report: no crash, no
// hang, and what comes out is what the lead can mark and show: at most the
// bounded number of recipients, each an ASCII address with its domain in
// lower case, a status code or none, and one line of code page 932 for the
// reason and the subject.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "receive/DeliveryReport.h"
#include "text/SjisUnicode.h"

namespace {

bool OneLine(const std::string& sjis) {
  return std::none_of(sjis.begin(), sjis.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20; }) &&
         zentavo::SjisToUtf8(sjis).find("\xEF\xBF\xBD") == std::string::npos;
}

bool Printable(const std::string& ascii) {
  return std::all_of(ascii.begin(), ascii.end(), [](char c) { return c > ' ' && c < 0x7F; });
}

bool Address(const std::string& address) {
  const std::size_t at = address.rfind('@');
  return Printable(address) && at != std::string::npos && at > 0 && at + 1 < address.size() &&
         std::none_of(address.begin() + static_cast<std::ptrdiff_t>(at), address.end(),
                      [](char c) { return c >= 'A' && c <= 'Z'; });
}

bool Status(const std::string& status) {
  if (status.empty()) return true;
  return status.size() >= 5 && status.size() <= 9 && (status[0] == '2' || status[0] == '4' || status[0] == '5') &&
         status[1] == '.' && std::count(status.begin(), status.end(), '.') == 2 &&
         status.find_first_not_of("0123456789.") == std::string::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::optional<zentavo::DeliveryReport> report =
      zentavo::ReadDeliveryReport(std::string_view(reinterpret_cast<const char*>(data), size));
  if (!report) return 0;
  const std::string& id = report->originalMessageId;
  if (report->failed.empty() || report->failed.size() > zentavo::kMostFailedDeliveries ||
      !OneLine(report->originalSubject) || (!id.empty() && (!Printable(id) || id.front() != '<' || id.back() != '>')))
    std::abort();
  for (const zentavo::FailedDelivery& failed : report->failed)
    if (!Address(failed.address) || !Status(failed.status) || !OneLine(failed.reason)) std::abort();
  return 0;
}
