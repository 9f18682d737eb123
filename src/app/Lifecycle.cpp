#include "app/Lifecycle.h"

#include <filesystem>

#include "store/Signature.h"
#include "text/SjisUnicode.h"

namespace zentavo {
namespace fs = std::filesystem;

void CreateDataDirectories(const DataFolder& folder) {
  for (const char* name : kDataSubdirectories) {
    std::error_code ignored;  // normally: it exists already
    fs::create_directory(folder.Path(name), ignored);
  }
}

namespace {

void UseStaffFile(AppState& state) {
  state.staff.path = state.folder.Path(kStaffFile);
  state.staff.cipher = "ON";
}

}  // namespace

void StartUp(AppState& state, Operator& op) {
  CreateDataDirectories(state.folder);
  LoadSettings(state.folder.SettingsFile(), state.settings);

  state.staff.grid.SetHeader(StaffHeader());
  state.recipients.SetHeader(StaffHeader());
  state.reserveRecipients.SetHeader(StaffHeader());

  UseStaffFile(state);
  LoadStaff(state.staff, op);
  LoadGroups(state.folder, state.groups);
  if (!fs::exists(state.folder.Path(kTemplateListFile))) {
    RebuildTemplateList(state.folder, state.templates);
    SaveTemplateList(state.folder, state.templates);
  }
  LoadTemplateList(state.folder, state.templates);
  LoadSignature(state.folder, state.signature);
}

void ShutDown(AppState& state, Operator& op) {
  UseStaffFile(state);
  SaveStaff(state.staff, op);
  SaveGroups(state.folder, state.groups);
  SaveTemplateList(state.folder, state.templates);
  SaveSignature(state.folder, state.signature);
  try {
    SaveSettings(state.folder.SettingsFile(), state.settings);
  } catch (const std::exception&) {
    // Shut-down goes on; the old settings file stays whole.
  }
  CleanTempFiles(state.folder);
}

namespace {

void RemovePlainFiles(const fs::path& dir, bool onlyTmp) {
  std::error_code ec;
  for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code ignored;
    if (it->is_directory(ignored)) continue;
    if (onlyTmp && it->path().extension() != ".tmp") continue;
    fs::remove(it->path(), ignored);
  }
}

}  // namespace

void CleanTempFiles(const DataFolder& folder) {
  RemovePlainFiles(folder.Root(), true);
  RemovePlainFiles(folder.Path(kTempDir), false);
}

}  // namespace zentavo
