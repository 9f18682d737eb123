#include "store/Groups.h"

#include <filesystem>

#include "base/DiagnosticLog.h"
#include "store/NameList.h"
#include "store/TextFile.h"
#include "text/SjisUnicode.h"

namespace zentavo {

const std::string& NoMembersMarker() {
  static const std::string marker = Sj("//伝達者未登録");
  return marker;
}

bool IsMarker(const std::string& entry) { return entry.compare(0, 2, "//") == 0; }

ReadResult LoadGroups(const DataFolder& folder, GroupState& state) {
  return LoadNameList(folder.Path(kGroupListFile), state.groups);
}

bool SaveGroups(const DataFolder& folder, const GroupState& state) {
  try {
    SaveNameList(folder.Path(kGroupListFile), state.groups);
    return true;
  } catch (const std::exception& e) {
    LogDiagnostic(e.what());
    return false;
  }
}

bool AddGroup(const DataFolder& folder, GroupState& state, std::string& nameBox, Operator& op) {
  if (!AddNamedFile(folder, kMemberDir, state.groups, nameBox, NoMembersMarker(),
                    {Sj("事案名が登録されていません"), Sj("既に同名の事案名が登録されています"), Sj("事案名")}, op)) {
    return false;
  }
  state.editGroup.clear();
  return true;
}

void DeleteGroups(const DataFolder& folder, GroupState& state, const std::set<int>& selected,
                  std::string& sendPageGroup) {
  for (const auto& name : DeleteNamedFiles(folder, kMemberDir, state.groups, selected)) {
    if (name == sendPageGroup) sendPageGroup.clear();
  }
  // Registering now needs a group chosen again, so a deleted one can never
  // be written back as a file that no list shows.
  state.editGroup.clear();
}

void LoadMembers(const DataFolder& folder, GroupState& state, Operator& op) {
  if (state.editGroup.empty()) return;
  state.members.clear();
  auto file = folder.NamedFile(kMemberDir, state.editGroup);
  StoredFile read;
  if (file) read = ReadStoredFile(*file);
  state.members = std::move(read.lines);
  if (read.result != ReadResult::Whole) {
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
    if (!file) throw FileError("no usable group chosen");
    WriteStoredFile(*file, state.members);
  } catch (const std::exception& e) {
    ReportFailure(op, Sj("招集事案の登録に失敗しました"), e.what());
    return;
  }
  state.members.clear();
  state.editGroup.clear();
  Warn(op, Sj("伝達職員を登録しました"));
  state.memberEditEnabled = false;
}

}  // namespace zentavo
