#include "store/Templates.h"

#include <algorithm>
#include <filesystem>

#include "base/DiagnosticLog.h"
#include "store/Groups.h"
#include "store/NameList.h"
#include "store/TextFile.h"
#include "text/SjisUnicode.h"

namespace zentavo {
namespace fs = std::filesystem;

ReadResult LoadTemplateList(const DataFolder& folder, TemplateState& state) {
  return LoadNameList(folder.Path(kTemplateListFile), state.names);
}

bool SaveTemplateList(const DataFolder& folder, const TemplateState& state) {
  try {
    SaveNameList(folder.Path(kTemplateListFile), state.names);
    return true;
  } catch (const std::exception& e) {
    LogDiagnostic(e.what());
    return false;
  }
}

void RebuildTemplateList(const DataFolder& folder, TemplateState& state) {
  state.names.clear();
  std::vector<std::string> files;
  try {
    for (const auto& entry : fs::directory_iterator(folder.Path(kTemplateDir))) {
      if (entry.is_directory()) continue;
      std::string name = entry.path().filename().string();
      if (IsTempFileName(name)) continue;  // a write cut short by a crash
      files.push_back(std::move(name));
    }
  } catch (const std::exception&) {
    // The listing ends where it failed.
  }
  // A stable order, whatever order the file system lists them in.
  std::sort(files.begin(), files.end());
  for (const auto& file : files) {
    SjisConversion name = Utf8ToSjis(file);
    // A file whose name Shift_JIS cannot hold could never be opened by name.
    if (name.dropped.empty() && IsSafeFileName(name.text)) state.names.push_back(name.text);
  }
}

bool AddTemplate(const DataFolder& folder, TemplateState& state, std::string& nameBox, Operator& op) {
  if (!AddNamedFile(folder, kTemplateDir, state.names, nameBox, Sj("定型本文を登録してください"),
                    {Sj("文書名が登録されていません"), Sj("既に同名の文書名が登録されています"), Sj("文書名")}, op)) {
    return false;
  }
  state.editTemplate.clear();
  state.body.clear();
  return true;
}

void DeleteTemplates(const DataFolder& folder, TemplateState& state, const std::set<int>& selected) {
  DeleteNamedFiles(folder, kTemplateDir, state.names, selected);
  state.editTemplate.clear();
  state.body.clear();
}

void LoadTemplateBody(const DataFolder& folder, TemplateState& state, Operator& op) {
  if (state.editTemplate.empty()) return;
  StoredFile read;
  if (auto file = folder.NamedFile(kTemplateDir, state.editTemplate)) read = ReadStoredFile(*file);
  state.body = std::move(read.lines);
  if (read.result != ReadResult::Whole) Warn(op, Sj("定型文書の読込に失敗しました"));
}

void SaveTemplateBody(const DataFolder& folder, TemplateState& state, Operator& op) {
  if (state.editTemplate.empty()) {
    Warn(op, Sj("見出しが登録されていません"));
    return;
  }
  if (state.body.empty()) {
    Warn(op, Sj("本文が登録されていません"));
    return;
  }
  try {
    auto file = folder.NamedFile(kTemplateDir, state.editTemplate);
    if (!file) throw FileError("unusable template name");
    WriteStoredFile(*file, state.body);
  } catch (const std::exception& e) {
    ReportFailure(op, Sj("定型文書の登録に失敗しました"), e.what());
    return;
  }
  Warn(op, Sj("定型文書を登録しました"));
  state.editTemplate.clear();
  state.body.clear();
}

TemplateChooser OpenTemplateChooser(const TemplateState& state) {
  TemplateChooser chooser;
  chooser.names = state.names;
  return chooser;
}

void PreviewTemplate(const DataFolder& folder, TemplateChooser& chooser, int index) {
  if (index < 0 || index >= static_cast<int>(chooser.names.size())) return;
  chooser.chosen = chooser.names[index];
  chooser.preview.clear();
  auto file = folder.NamedFile(kTemplateDir, chooser.chosen);
  if (!file) return;
  StoredFile read = ReadStoredFile(*file);
  chooser.preview = std::move(read.lines);
  if (read.result == ReadResult::Whole) chooser.loaded = true;
}

bool ChooseTemplate(const DataFolder& folder, TemplateChooser& chooser, int index, std::vector<std::string>& body,
                    std::string& subject, Operator& op) {
  chooser.loaded = false;
  PreviewTemplate(folder, chooser, index);
  if (!chooser.loaded) {
    Warn(op, Sj("定型文書が選択されていません"));
    return false;
  }
  body = chooser.preview;
  subject = chooser.chosen;
  return true;
}

}  // namespace zentavo
