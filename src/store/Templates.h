// Template texts: named notice bodies kept in "TEIKEI/" + name, listed in
// "JIAN/teikei", edited on the "伝達定型文書" page and picked on the send page
// through the chooser "定型文選択".
#pragma once

#include <set>
#include <string>
#include <vector>

#include "store/DataFolder.h"
#include "store/Operator.h"

namespace zentavo {

struct TemplateState {
  std::vector<std::string> names;     // ListBox4, mirrored by ComboBox3
  std::string editTemplate;           // the name ComboBox3 shows ("" for none)
  std::vector<std::string> body;      // Memo3, the body being edited
};

void LoadTemplateList(const DataFolder& folder, TemplateState& state);
// Silent on failure, as at shut-down; returns false when the write failed.
bool SaveTemplateList(const DataFolder& folder, const TemplateState& state);
// Lists the files in "TEIKEI" (used when "JIAN/teikei" is missing).
void RebuildTemplateList(const DataFolder& folder, TemplateState& state);

// "追加" with the name box's text (Edit5), emptied once the template is added.
bool AddTemplate(const DataFolder& folder, TemplateState& state, std::string& nameBox, Operator& op);
// "行削除": deletes the selected templates and their files.
void DeleteTemplates(const DataFolder& folder, TemplateState& state, const std::set<int>& selected);
int MoveTemplateUp(TemplateState& state, const std::set<int>& selected);
int MoveTemplateDown(TemplateState& state, const std::set<int>& selected);

// ComboBox3 change: loads the body of `state.editTemplate`.
void LoadTemplateBody(const DataFolder& folder, TemplateState& state, Operator& op);
// "登録／上書": saves the body under `state.editTemplate`.
void SaveTemplateBody(const DataFolder& folder, TemplateState& state, Operator& op);

// The chooser "定型文選択".
struct TemplateChooser {
  std::vector<std::string> names;     // ListBox1 "定型伝達文書"
  std::string chosen;                 // the name last previewed
  std::vector<std::string> preview;   // Memo1, the preview
  bool loaded = false;
};

TemplateChooser OpenTemplateChooser(const TemplateState& state);
// Double-click: shows the template at `index` (-1: none selected).
void PreviewTemplate(const DataFolder& folder, TemplateChooser& chooser, int index);
// "設定": puts the template into the send page's body and subject. Returns
// true when the chooser closes.
bool ChooseTemplate(const DataFolder& folder, TemplateChooser& chooser, int index,
                    std::vector<std::string>& body, std::string& subject, Operator& op);

}  // namespace zentavo
