// Groups: named lists of staff names. The group list is kept in "JIAN/jian";
// each group's members in "KANREN/" + its name, one name or "//" marker line
// per line.
#pragma once

#include <set>
#include <string>
#include <vector>

#include "base/Operator.h"
#include "store/DataFolder.h"
#include "store/StoredFile.h"

namespace zentavo {

struct GroupState {
  std::vector<std::string> groups;   // the group list, in the operator's order
  std::string editGroup;             // the group chosen in the member editor ("" for none)
  std::vector<std::string> members;  // the member editor's entries
  bool memberEditEnabled = false;    // "職員追加" and "登録" may be used
};

// The marker line of a new group's member file.
const std::string& NoMembersMarker();
// Entries beginning with "//" are markers, skipped wherever members are used.
bool IsMarker(const std::string& entry);

ReadResult LoadGroups(const DataFolder& folder, GroupState& state);
// Silent on failure, as at shut-down; returns false when the write failed.
bool SaveGroups(const DataFolder& folder, const GroupState& state);

// "追加" with the name box's text, emptied once the group is added. The
// member editor's choice is cleared, as the drop-downs are rebuilt.
bool AddGroup(const DataFolder& folder, GroupState& state, std::string& nameBox, Operator& op);

// "行削除" on the group list: deletes the selected groups and their member
// files. The member editor's choice is cleared; `sendPageGroup` (the group
// the send page names in its body line) is cleared when it was deleted.
void DeleteGroups(const DataFolder& folder, GroupState& state, const std::set<int>& selected,
                  std::string& sendPageGroup);

// The member editor's group chosen: loads its members into the editor.
void LoadMembers(const DataFolder& folder, GroupState& state, Operator& op);

// "職員追加": appends the selected staff names (repeats allowed).
void AddMembers(GroupState& state, const std::vector<std::string>& selectedNames, Operator& op);

// "行削除" on the member editor.
void RemoveMembers(GroupState& state, const std::set<int>& selected);

// "登録": writes the editor's entries as the member file of `state.editGroup`.
void RegisterMembers(const DataFolder& folder, GroupState& state, Operator& op);

}  // namespace zentavo
