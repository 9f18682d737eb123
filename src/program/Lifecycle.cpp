#include "program/Lifecycle.h"

#include <filesystem>

#include "base/DiagnosticLog.h"
#include "send/SendJournal.h"
#include "store/Signature.h"
#include "store/TextFile.h"
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
  state.staff.enciphered = true;
}

}  // namespace

void StartUp(AppState& state, Operator& op) {
  CreateDataDirectories(state.folder);
  OpenDiagnosticLog(state.folder.DiagnosticLogFile());
  // Files that could be read only in part; the operator hears of each once,
  // the staff file through its own message.
  std::vector<fs::path> partlyRead;
  auto note = [&partlyRead](ReadResult result, const fs::path& file) {
    if (result == ReadResult::Partial) partlyRead.push_back(file);
  };

  note(LoadSettings(state.folder.SettingsFile(), state.settings), state.folder.SettingsFile());
  note(LoadServerSecurity(state.folder.SecurityFile(), state.settings.security), state.folder.SecurityFile());
  note(LoadSeenMail(state.folder.SeenMailFile(), state.settings.seen), state.folder.SeenMailFile());
  state.loaded = Loaded::Settings;

  state.staff.grid.SetHeader(StaffHeader());
  state.recipients.SetHeader(StaffHeader());

  UseStaffFile(state);
  LoadStaff(state.staff, op);
  state.loaded = Loaded::Staff;
  note(LoadGroups(state.folder, state.groups), state.folder.Path(kGroupListFile));
  state.loaded = Loaded::Groups;
  if (!fs::exists(state.folder.Path(kTemplateListFile))) {
    RebuildTemplateList(state.folder, state.templates);
    SaveTemplateList(state.folder, state.templates);
  }
  note(LoadTemplateList(state.folder, state.templates), state.folder.Path(kTemplateListFile));
  state.loaded = Loaded::Templates;
  note(LoadSignature(state.folder, state.signature), state.folder.Path(kSignatureFile));
  state.loaded = Loaded::Signature;
  // The scheduler compares this list with the clock from the first tick on.
  LoadReservationList(state.folder, state.reservations, NowLocal());

  for (const auto& file : partlyRead) Warn(op, PartlyReadNotice(file));
  // A notice that was going out when the program last ended.
  if (const std::optional<SendJournal> journal = TakeSendJournal(state.folder)) {
    LogDiagnostic("the last run ended while notice " + SjisToUtf8(journal->key) + " was going out: " +
                  std::to_string(journal->sent) + " of " + std::to_string(journal->batches) + " batches sent");
    if (journal->sent < journal->batches || journal->batches == 0) Warn(op, PartlySentNotice(*journal));
  }
}

void SaveAll(AppState& state, Operator& op) {
  const Loaded loaded = state.loaded;
  UseStaffFile(state);
  // A staff file read only in part stays as it is; the operator was told at
  // start-up, so no failure message now.
  if (loaded >= Loaded::Staff && !IsPartlyRead(state.staff.path)) SaveStaff(state.staff, op);
  if (loaded >= Loaded::Groups) SaveGroups(state.folder, state.groups);
  if (loaded >= Loaded::Templates) SaveTemplateList(state.folder, state.templates);
  if (loaded >= Loaded::Signature) SaveSignature(state.folder, state.signature);
  if (loaded >= Loaded::Settings) {
    try {
      SaveSettings(state.folder.SettingsFile(), state.settings);
    } catch (const std::exception& e) {
      // Shut-down goes on; the old settings file stays whole.
      LogDiagnostic(e.what());
    }
    try {
      SaveServerSecurity(state.folder.SecurityFile(), state.settings.security);
    } catch (const std::exception& e) { LogDiagnostic(e.what()); }
    if (!state.settings.seen.account.empty()) {
      try {
        SaveSeenMail(state.folder.SeenMailFile(), state.settings.seen);
      } catch (const std::exception& e) { LogDiagnostic(e.what()); }
    }
  }
}

void ShutDown(AppState& state, Operator& op) {
  SaveAll(state, op);
  CleanTempFiles(state.folder);
}

}  // namespace zentavo
