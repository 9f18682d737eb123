// Where the program keeps its data: beside the program file, or, where that
// folder is not writable (a system-wide install), in the user's data folder.
#pragma once

#include <filesystem>
#include <string>

namespace zentavo {

struct ProgramLocation {
  std::filesystem::path folder;   // the data folder
  std::string programName;        // the program file's name, for "<name>.ini"
};

// `exe` is the running program file (normally read from /proc/self/exe).
// The data folder is the program's own folder when it is writable, else
// $XDG_DATA_HOME/zentavo (default ~/.local/share/zentavo), created with
// mode 0700 since it holds the account password.
ProgramLocation LocateProgramFolder(const std::filesystem::path& exe);

// The running program file.
std::filesystem::path RunningProgram();

}  // namespace zentavo
