// Feeds arbitrary deciphered lines to the reservation reader, as a file
// written elsewhere or damaged by hand may hold them: whatever it reads must
// be written back as records that read the same again.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "reserve/ReservationFile.h"
#include "store/TextFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace zentavo;
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  Reservation read = ParseReservation(SplitLines(input));
  const ShownResultText shown = ShownResult(read.date, read.time, read.resultStatus, read.resultDetail, {});
  if (!read.resultStatus.empty() && shown.status != read.resultStatus) std::abort();
  const std::string name = ReservationFileName(read.date, read.time);
  if (!name.empty() && name.size() != 15) std::abort();

  Reservation again = ParseReservation(ReservationRecords(read));
  std::erase_if(read.recipients, [](const ReservationRecipient& r) { return r.name.empty(); });
  if (!again.scheduled || again.date != read.date || again.time != read.time || again.group != read.group ||
      again.recipients != read.recipients || again.identifier != read.identifier || again.mailNo != read.mailNo ||
      again.subject != read.subject || again.body != read.body || again.copyToSelf != read.copyToSelf ||
      again.appendGroup != read.appendGroup || again.appendNames != read.appendNames) {
    std::abort();
  }
  return 0;
}
