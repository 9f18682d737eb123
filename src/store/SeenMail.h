// Which messages of the mailbox "未受信受信" has already read, by the unique
// ids the server keeps (UIDL). A count of read messages cannot say it:
// servers number messages in an order of their own, so a new message can
// sort in among those read before. Kept in a file of its own beside the
// settings file ("<program>.uid", enciphered line by line like every data
// file), for one account: the ids of another mailbox mean nothing here.
#pragma once

#include <filesystem>
#include <set>
#include <string>

#include "store/StoredFile.h"

namespace zentavo {

struct SeenMail {
  std::string account;        // "pop3 host:port user" the ids belong to; "" before the first run
  std::set<std::string> ids;  // unique ids of messages read
  bool operator==(const SeenMail&) const = default;
};

// A missing file leaves nothing seen; reading stops at a damaged line.
ReadResult LoadSeenMail(const std::filesystem::path& file, SeenMail& seen);

// Replaces the file atomically. Throws FileError.
void SaveSeenMail(const std::filesystem::path& file, const SeenMail& seen);

}  // namespace zentavo
