// Template texts: named notice bodies kept in "TEIKEI/" + name, listed in
// "JIAN/teikei", edited on the "伝達定型文書" page and picked on the send page
// through the chooser "定型文選択".
#pragma once

#include <set>
#include <string>
#include <vector>

#include "base/Operator.h"
#include "store/DataFolder.h"
#include "store/StoredFile.h"

namespace zentavo {

struct TemplateState {
  std::vector<std::string> names;  // the template list, in the operator's order
  std::string editTemplate;        // the template chosen for editing ("" for none)
  std::vector<std::string> body;   // the body being edited
};

ReadResult LoadTemplateList(const DataFolder& folder, TemplateState& state);
// Silent on failure, as at shut-down; returns false when the write failed.
bool SaveTemplateList(const DataFolder& folder, const TemplateState& state);
// Lists the files in "TEIKEI" (used when "JIAN/teikei" is missing).
void RebuildTemplateList(const DataFolder& folder, TemplateState& state);

// "追加" with the name box's text, emptied once the template is added. The
// choice and the body being edited are cleared, so "登録／上書" cannot write
// the new text over the template chosen before.
bool AddTemplate(const DataFolder& folder, TemplateState& state, std::string& nameBox, Operator& op);
// "行削除": deletes the selected templates and their files; the choice and
// the body being edited are cleared.
void DeleteTemplates(const DataFolder& folder, TemplateState& state, const std::set<int>& selected);

// A template chosen for editing: loads the body of `state.editTemplate`.
void LoadTemplateBody(const DataFolder& folder, TemplateState& state, Operator& op);
// "登録／上書": saves the body under `state.editTemplate`.
void SaveTemplateBody(const DataFolder& folder, TemplateState& state, Operator& op);

// The chooser "定型文選択".
struct TemplateChooser {
  std::vector<std::string> names;  // "定型伝達文書"
  std::string chosen;              // the name last previewed
  std::vector<std::string> preview;
  bool loaded = false;
};

TemplateChooser OpenTemplateChooser(const TemplateState& state);
// Double-click: shows the template at `index` (-1: none selected).
void PreviewTemplate(const DataFolder& folder, TemplateChooser& chooser, int index);
// "設定": puts the template into the send page's body and subject. Returns
// true when the chooser closes.
bool ChooseTemplate(const DataFolder& folder, TemplateChooser& chooser, int index, std::vector<std::string>& body,
                    std::string& subject, Operator& op);

}  // namespace zentavo
