// The operations that the group list and the template list share: a list of
// names kept in one enciphered list file, each name also the file name of a
// file in a directory of its own ("KANREN", "TEIKEI").
#pragma once

#include <filesystem>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "base/Operator.h"
#include "store/DataFolder.h"
#include "store/StoredFile.h"

namespace zentavo {

// Reads a list file into `names` (cleared first), empty names skipped. A
// damaged line ends the reading; what was read stays, and the file is then
// protected from being written back shorter.
ReadResult LoadNameList(const std::filesystem::path& file, std::vector<std::string>& names);

// Writes the non-empty names enciphered. Throws FileError on failure.
void SaveNameList(const std::filesystem::path& file, const std::vector<std::string>& names);

// Adds the name in `nameBox` to `names` and creates its file `dir`/name
// holding `firstLine` (a failure there is silent: the name stays listed and
// opening it later reports the missing file). Refused with a message when
// the box is empty (`emptyText`), the name is listed already (`takenText`)
// or cannot be a file name here (`what` + "に使用できない名前です..."). The
// box is emptied once the name is added.
struct AddNameTexts {
  std::string emptyText;
  std::string takenText;
  std::string what;
};
bool AddNamedFile(const DataFolder& folder, std::string_view dir, std::vector<std::string>& names, std::string& nameBox,
                  const std::string& firstLine, const AddNameTexts& texts, Operator& op);

// Removes the selected names and deletes their files (failures ignored);
// returns the names removed.
std::vector<std::string> DeleteNamedFiles(const DataFolder& folder, std::string_view dir,
                                          std::vector<std::string>& names, const std::set<int>& selected);

// The message for a name that cannot be a file name; `what` names the kind.
std::string UnusableNameMessage(const std::string& what);

// Moves the first selected name that can move one place up (or down) and
// returns its new index, or -1 when nothing moved.
int MoveNameUp(std::vector<std::string>& names, const std::set<int>& selected);
int MoveNameDown(std::vector<std::string>& names, const std::set<int>& selected);

}  // namespace zentavo
