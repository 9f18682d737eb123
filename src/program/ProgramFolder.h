// Where the program keeps its data: always the user's own data folder, never
// beside the program file. A program started from a build folder would
// otherwise keep the account password and the staff list there, and a clean
// rebuild would delete them; an installed program's folder is not the user's
// to write in at all.
#pragma once

#include <filesystem>
#include <string>

namespace zentavo {

struct ProgramLocation {
  std::filesystem::path folder;  // the data folder
  std::string programName;       // the program file's name, for "<name>.ini"
};

// `exe` is the running program file (normally read from /proc/self/exe); it
// gives only the settings file's name. The data folder is
// $XDG_DATA_HOME/zentavo, or ~/.local/share/zentavo when XDG_DATA_HOME is
// unset or not absolute. It is created private to the user (mode 0700) since
// it holds the account password, and an existing folder that others may
// enter is made private again. Throws std::runtime_error when the user has no
// home folder to put it in.
ProgramLocation LocateProgramFolder(const std::filesystem::path& exe);

// The running program file.
std::filesystem::path RunningProgram();

}  // namespace zentavo
