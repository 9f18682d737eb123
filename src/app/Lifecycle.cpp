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
  state.loaded = Loaded::Settings;

  state.staff.grid.SetHeader(StaffHeader());
  state.recipients.SetHeader(StaffHeader());
  state.reserveRecipients.SetHeader(StaffHeader());

  UseStaffFile(state);
  LoadStaff(state.staff, op);
  state.loaded = Loaded::Staff;
  LoadGroups(state.folder, state.groups);
  state.loaded = Loaded::Groups;
  if (!fs::exists(state.folder.Path(kTemplateListFile))) {
    RebuildTemplateList(state.folder, state.templates);
    SaveTemplateList(state.folder, state.templates);
  }
  LoadTemplateList(state.folder, state.templates);
  state.loaded = Loaded::Templates;
  LoadSignature(state.folder, state.signature);
  state.loaded = Loaded::Signature;
}

void SaveAll(AppState& state, Operator& op) {
  const Loaded loaded = state.loaded;
  UseStaffFile(state);
  if (loaded >= Loaded::Staff) SaveStaff(state.staff, op);
  if (loaded >= Loaded::Groups) SaveGroups(state.folder, state.groups);
  if (loaded >= Loaded::Templates) SaveTemplateList(state.folder, state.templates);
  if (loaded >= Loaded::Signature) SaveSignature(state.folder, state.signature);
  if (loaded >= Loaded::Settings) {
    try {
      SaveSettings(state.folder.SettingsFile(), state.settings);
    } catch (const std::exception&) {
      // Shut-down goes on; the old settings file stays whole.
    }
  }
}

void ShutDown(AppState& state, Operator& op) {
  SaveAll(state, op);
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
