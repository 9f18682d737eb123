#include "history/DeleteHistory.h"

#include "history/ReplyRates.h"
#include "history/TransmissionLogs.h"

namespace zentavo {
namespace fs = std::filesystem;

void DeleteHistoryEntries(const DataFolder& folder, const std::vector<std::string>& keys) {
  for (const auto& key : keys) RemoveTransmissionLogs(folder, key);
}

void DeleteAllLogs(const DataFolder& folder) {
  std::vector<fs::path> doomed;
  std::error_code ec;
  for (fs::directory_iterator it(folder.Path(kLogDir), ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    const bool log =
        name.starts_with("0_") || name.starts_with("1_") || name.starts_with("2_") || name.starts_with("3_");
    std::error_code typeError;
    if ((log || name.starts_with(kReplyRatesFile)) && !it->is_directory(typeError)) doomed.push_back(it->path());
  }
  for (const auto& file : doomed) fs::remove(file, ec);
}

}  // namespace zentavo
