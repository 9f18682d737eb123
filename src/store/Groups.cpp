#include "store/Groups.h"

#include <filesystem>

#include "store/NameList.h"
#include "store/TextFile.h"
#include "text/SjisUnicode.h"

namespace zentavo {

const std::string& NoMembersMarker() {
  static const std::string marker = Sj("//伝達者未登録");
  return marker;
}

bool IsMarker(const std::string& entry) { return entry.compare(0, 2, "//") == 0; }

std::string UnusableNameMessage(const std::string& what) {
  return what + Sj("に使用できない名前です\r「/」を含む名前や「.」「..」は登録できません");
}

void LoadGroups(const DataFolder& folder, GroupState& state) {
  LoadNameList(folder.Path(kGroupListFile), state.groups);
}

bool SaveGroups(const DataFolder& folder, const GroupState& state) {
  try {
    SaveNameList(folder.Path(kGroupListFile), state.groups);
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

bool AddGroup(const DataFolder& folder, GroupState& state, std::string& nameBox, Operator& op) {
  const std::string name = nameBox;
  if (name.empty()) {
    Warn(op, Sj("事案名が登録されていません"));
    return false;
  }
  for (const auto& group : state.groups) {
    if (group == name) {
      Warn(op, Sj("既に同名の事案名が登録されています"));
      return false;
    }
  }
  // The name becomes a file name under "KANREN"; one that could reach
  // outside it (or collide after conversion) is refused here.
  auto file = folder.NamedFile(kMemberDir, name);
  if (!file) {
    Warn(op, UnusableNameMessage(Sj("事案名")));
    return false;
  }
  state.groups.push_back(name);
  try {
    WriteCipherLines(*file, {NoMembersMarker()});
  } catch (const std::exception&) {
    // The group stays listed; choosing it later reports the missing file.
  }
  nameBox.clear();
  return true;
}

void DeleteGroups(const DataFolder& folder, GroupState& state, const std::set<int>& selected) {
  std::vector<std::string> kept;
  for (int i = 0; i < static_cast<int>(state.groups.size()); ++i) {
    if (!selected.count(i)) {
      kept.push_back(state.groups[i]);
      continue;
    }
    if (auto file = folder.NamedFile(kMemberDir, state.groups[i])) {
      std::error_code ignored;
      std::filesystem::remove(*file, ignored);
    }
  }
  state.groups = std::move(kept);
}

int MoveGroupUp(GroupState& state, const std::set<int>& selected) {
  return MoveNameUp(state.groups, selected);
}

int MoveGroupDown(GroupState& state, const std::set<int>& selected) {
  return MoveNameDown(state.groups, selected);
}

void LoadMembers(const DataFolder& folder, GroupState& state, Operator& op) {
  if (state.editGroup.empty()) return;
  state.members.clear();
  auto file = folder.NamedFile(kMemberDir, state.editGroup);
  CipherLines read;
  if (file) read = ReadCipherLines(*file);
  state.members = std::move(read.lines);
  if (!read.complete) {
    Warn(op, Sj("伝達職員の読込に失敗しました"));
    return;
  }
  state.memberEditEnabled = true;
}

void AddMembers(GroupState& state, const std::vector<std::string>& selectedNames, Operator& op) {
  for (const auto& name : selectedNames) {
    if (name.empty()) {
      Warn(op, Sj("職員が選択されていません"));
      return;
    }
    state.members.push_back(name);
  }
}

void RemoveMembers(GroupState& state, const std::set<int>& selected) {
  std::vector<std::string> kept;
  for (int i = 0; i < static_cast<int>(state.members.size()); ++i) {
    if (!selected.count(i)) kept.push_back(state.members[i]);
  }
  state.members = std::move(kept);
}

void RegisterMembers(const DataFolder& folder, GroupState& state, Operator& op) {
  if (state.members.empty()) {
    Warn(op, Sj("伝達職員が登録されていません"));
    return;
  }
  try {
    auto file = folder.NamedFile(kMemberDir, state.editGroup);
    if (!file) throw FileError("unusable group name");
    WriteCipherLines(*file, state.members);
  } catch (const std::exception&) {
    Warn(op, Sj("招集事案の登録に失敗しました"));
    return;
  }
  state.members.clear();
  state.editGroup.clear();
  Warn(op, Sj("伝達職員を登録しました"));
  state.memberEditEnabled = false;
}

}  // namespace zentavo
