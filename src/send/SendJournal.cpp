#include "send/SendJournal.h"

#include <filesystem>

#include "base/DiagnosticLog.h"
#include "store/StoredFile.h"
#include "text/SjisUnicode.h"

namespace zentavo {
namespace fs = std::filesystem;

namespace {

fs::path JournalFile(const DataFolder& folder) {
  return folder.Root() / fs::path(folder.SettingsFile().filename()).replace_extension(".sending");
}

}  // namespace

void WriteSendJournal(const DataFolder& folder, const SendJournal& journal) {
  try {
    WriteStoredFile(JournalFile(folder), {journal.key, std::to_string(journal.sent), std::to_string(journal.batches)});
  } catch (const std::exception& e) {
    LogDiagnostic(std::string("the send journal could not be written: ") + e.what());
  }
}

void RemoveSendJournal(const DataFolder& folder) {
  std::error_code ignored;
  fs::remove(JournalFile(folder), ignored);
}

std::optional<SendJournal> TakeSendJournal(const DataFolder& folder) {
  const StoredFile read = ReadStoredFile(JournalFile(folder));
  if (read.result == ReadResult::Missing) return std::nullopt;
  RemoveSendJournal(folder);
  SendJournal journal;
  if (read.lines.size() < 3) return journal;  // damaged: the notice is unknown, the fact is not
  journal.key = read.lines[0];
  try {
    journal.sent = std::stoi(read.lines[1]);
    journal.batches = std::stoi(read.lines[2]);
  } catch (const std::exception&) {}
  return journal;
}

std::string PartlySentNotice(const SendJournal& journal) {
  const std::string counts =
      journal.batches > 0 ? std::to_string(journal.sent) + "/" + std::to_string(journal.batches) : Sj("一部");
  return Sj("前回の終了時に送信中だった伝達は、") + counts + Sj(" のみ送信されました。\r") + journal.key +
         Sj("\r送信されなかった宛先は「伝達履歴」の伝達職員で確かめてください。");
}

}  // namespace zentavo
