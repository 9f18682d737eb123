// The plain diagnostic log in the data folder: what lies behind a failure
// the operator was told about (a server's reply, a file and the system's
// reason), one time-stamped UTF-8 line each. It is for whoever looks after
// the installation; it never holds a password or an authentication
// exchange, so callers pass it server replies and file errors only.
#pragma once

#include <filesystem>
#include <string_view>

namespace zentavo {

// Starts writing to `file` (the program's start-up does this once). A file
// over the size limit is moved aside to `file` + ".1" first, replacing the
// older one, so the log never grows without bound.
void OpenDiagnosticLog(const std::filesystem::path& file);

// Appends one line with the local time in front; safe from any thread.
// Does nothing before OpenDiagnosticLog, and a log that cannot be written
// is given up silently: it must never stand in the way of the work.
void LogDiagnostic(std::string_view utf8);

}  // namespace zentavo
