// Reading and writing a data file of stored lines (each line enciphered on
// its own), and what to tell the operator when one could not be read whole.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace zentavo {

enum class ReadResult {
  Whole,    // every line was read
  Missing,  // there is no such file (a first start, a name not yet used)
  Partial,  // the file exists but reading stopped early: it is now protected
};

struct StoredFile {
  std::vector<std::string> lines;  // deciphered, as far as they could be read
  ReadResult result = ReadResult::Missing;
};

// Reads `file` and deciphers its lines in order (all of them when
// `enciphered`, none otherwise; line index `plainLine`, when given, is kept
// as stored). A line that cannot be deciphered, or a file that exists but
// cannot be read, ends the reading: the file is marked as read only in part
// (so nothing writes it back shorter) and the reason goes to the diagnostic
// log.
StoredFile ReadStoredFile(const std::filesystem::path& file, bool enciphered = true, int plainLine = -1);

// The bytes of a file of `lines`, each enciphered and ended by CR LF.
std::string StoredBytes(const std::vector<std::string>& lines);

// Replaces `file` with `lines`, each enciphered, empty ones included.
// Throws FileError.
void WriteStoredFile(const std::filesystem::path& file, const std::vector<std::string>& lines);

// The operator's notice for a file that could be read only in part
// (Shift_JIS): it names the file and says it is kept as it is.
std::string PartlyReadNotice(const std::filesystem::path& file);

}  // namespace zentavo
