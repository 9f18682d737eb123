// Text files of lines with CR LF line ends, as every data file is kept.
#pragma once

#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace zentavo {

struct FileError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// The lines of a file, split at LF with a CR before it dropped; a last line
// without its line end counts, an empty file has no lines. Throws FileError
// when the file cannot be read.
std::vector<std::string> ReadTextLines(const std::filesystem::path& path);

// The whole file as it is. Throws FileError when it cannot be read.
std::string ReadFileBytes(const std::filesystem::path& path);

// Splits bytes into lines as ReadTextLines does.
std::vector<std::string> SplitLines(std::string_view bytes);

// Replaces the file with `lines`, each ended by CR LF. The lines go to a
// temporary file beside it that is flushed to disk and then renamed over the
// old one, so a crash or a failed write never leaves a shortened file: on
// failure the old file is untouched, the temporary file is removed and
// FileError is thrown.
void WriteTextLines(const std::filesystem::path& path, const std::vector<std::string>& lines);

// The same for raw bytes. A file marked as read only in part is refused.
void WriteFileAtomic(const std::filesystem::path& path, std::string_view bytes);

// Replaces many files (path, bytes) as WriteFileAtomic does each, with one
// flush of the file system for all of them instead of one per file. Returns
// each file that could not be written (it stays as it was) with the reason.
std::vector<std::pair<std::filesystem::path, std::string>> WriteFilesAtomic(
    const std::vector<std::pair<std::filesystem::path, std::string>>& files);

// A file whose reading stopped at a damaged line still holds everything
// after it; writing back what was read would lose that for good. Its reader
// marks it, and from then on every write of it in this session is refused
// with FileError, whoever attempts it.
void MarkPartlyRead(const std::filesystem::path& path);
bool IsPartlyRead(const std::filesystem::path& path);

// Temporary files of the atomic writer carry this mark in their names, so
// that a directory listing can tell them from data files.
inline constexpr std::string_view kTempMark = ".~zt";
// The most a temporary name adds to its target's name: the mark, up to nine
// random digits and ".tmp". A target name must leave room for it.
inline constexpr std::size_t kTempSuffixMaxBytes = kTempMark.size() + 9 + 4;
bool IsTempFileName(std::string_view fileName);

}  // namespace zentavo
