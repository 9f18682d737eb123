// Groups with their members, the recipient grid they fill, templates and
// the signature: the named files behind them, the refusals, and choices
// that never point at something deleted.
#include <gtest/gtest.h>

#include "program/Lifecycle.h"
#include "store/Groups.h"
#include "store/NameList.h"
#include "store/Recipients.h"
#include "store/Signature.h"
#include "store/Staff.h"
#include "store/Templates.h"
#include "support/TestSupport.h"

namespace zentavo {
namespace {

class ListsTest : public ::testing::Test {
 protected:
  ListsTest() : folder(dir.path()) { CreateDataDirectories(folder); }

  Grid Staff(const std::vector<Lines>& rows) {
    Grid g(3, 30);
    g.SetHeader(StaffHeader());
    for (size_t i = 0; i < rows.size(); ++i)
      for (int c = 0; c < 3; ++c) g.Cell(c, static_cast<int>(i) + 1) = rows[i][c];
    return g;
  }
  void AddGroups(const Lines& names) {
    for (std::string box : names) ASSERT_TRUE(AddGroup(folder, groups, box, op));
  }

  test::TempFolder dir;
  DataFolder folder;
  GroupState groups;
  TemplateState templates;
  test::ScriptedOperator op;
};

TEST_F(ListsTest, AddingRefusesEmptyTakenAndUnusableNames) {
  AddGroups({S("総務")});
  EXPECT_EQ(test::Deciphered(dir / "KANREN/総務"), Lines{"//伝達者未登録"});
  // A name that would reach outside the folder, or is no Shift_JIS, never
  // becomes a file name.
  for (std::string box : {S(""), S("総務"), S("../SYOKUIN/name"), S("."), std::string("\x81")})
    EXPECT_FALSE(AddGroup(folder, groups, box, op));
  std::string name = S("定例");
  ASSERT_TRUE(AddTemplate(folder, templates, name, op));
  EXPECT_EQ(test::Deciphered(dir / "TEIKEI/定例"), Lines{"定型本文を登録してください"});
  name = S("定例");
  EXPECT_FALSE(AddTemplate(folder, templates, name, op));
  const Lines texts = op.Texts();
  ASSERT_EQ(texts.size(), 6u);
  EXPECT_EQ(texts[0], "事案名が登録されていません");
  EXPECT_EQ(texts[1], "既に同名の事案名が登録されています");
  EXPECT_EQ(texts[4].substr(0, texts[4].find('\r')), "事案名に使用できない名前です");
  EXPECT_EQ(texts[5], "既に同名の文書名が登録されています");
  EXPECT_EQ(test::FileNames(dir / "KANREN"), Lines{"総務"});
}

TEST_F(ListsTest, DeletingTheChosenGroupLeavesNothingToRegisterIntoAndNothingToName) {
  AddGroups({"A", "B", "C"});
  groups.editGroup = "B";
  LoadMembers(folder, groups, op);
  groups.members.push_back("X");
  std::string sendPageGroup = "B";
  DeleteGroups(folder, groups, {1}, sendPageGroup);
  EXPECT_EQ(groups.groups, (Lines{"A", "C"}));
  EXPECT_FALSE(std::filesystem::exists(dir / "KANREN/B"));
  EXPECT_EQ(sendPageGroup, "");  // the body line no longer names it
  RegisterMembers(folder, groups, op);
  EXPECT_EQ(op.Texts(), Lines{"招集事案の登録に失敗しました"});
  EXPECT_EQ(test::FileNames(dir / "KANREN"), (Lines{"A", "C"}));  // no orphan file

  std::string other = "A";
  DeleteGroups(folder, groups, {1}, other);
  EXPECT_EQ(other, "A");
  groups.groups = {"A", "B", "C"};
  EXPECT_EQ(MoveNameUp(groups.groups, {0, 2}), 1);  // the first selected that can move
  EXPECT_EQ(MoveNameDown(groups.groups, {2}), -1);
  EXPECT_EQ(groups.groups, (Lines{"A", "C", "B"}));
}

TEST_F(ListsTest, MemberEditorRoundTrip) {
  AddGroups({"G"});
  groups.editGroup = "G";
  LoadMembers(folder, groups, op);
  EXPECT_TRUE(groups.memberEditEnabled);
  AddMembers(groups, {"A", "A"}, op);
  RemoveMembers(groups, {1});
  RegisterMembers(folder, groups, op);
  EXPECT_EQ(test::Deciphered(dir / "KANREN/G"), (Lines{"//伝達者未登録", "A"}));
  EXPECT_EQ(op.Texts(), Lines{"伝達職員を登録しました"});
  EXPECT_FALSE(groups.memberEditEnabled);
  EXPECT_EQ(groups.editGroup, "");
}

TEST_F(ListsTest, ChoosingAGroupFillsTheRecipientsAndReportsAMismatch) {
  test::WriteEnciphered(dir / "KANREN/G", {"//伝達者未登録", "A", "Gone", "", "B"});
  Grid recipients(3, 30);
  EXPECT_EQ(
      FillRecipients(folder, "G", Staff({{"A", "a@x", "1"}, {"B", "b@x", "2"}, {"B", "b2@x", "3"}}), recipients, op),
      (Lines{"A", "Gone", "", "B"}));
  EXPECT_EQ(recipients.Cell(1, 2), "b@x");  // a name twice in the staff list: two rows
  EXPECT_EQ(recipients.Cell(1, 3), "b2@x");
  EXPECT_EQ(recipients.RowCount(), 33);
  ASSERT_EQ(op.Texts().size(), 1u);
  EXPECT_EQ(op.Texts()[0].substr(0, op.Texts()[0].find('\r')),
            "「職員リスト」が更新されたために、伝達者名と職員リストに");
}

TEST_F(ListsTest, AddedRecipientsNeverOverwriteAnyone) {
  Grid staff = Staff({{"A", "a@x", "1"}, {"//note", "", ""}, {"B", "b@x", "2"}});
  AddRecipientsDialog dialog = OpenAddRecipients(staff);
  AddToRecipientList(dialog, {0, 1, 2});
  EXPECT_EQ(dialog.added, (Lines{"A", "B"}));
  Grid target(3, 4);
  target.Cell(0, 1) = "R1";
  target.Cell(0, 3) = "R3";  // a gap before it, no empty row after it
  EXPECT_TRUE(SetAddedRecipients(dialog, staff, target, op));
  EXPECT_EQ((Lines{target.Cell(0, 1), target.Cell(0, 2), target.Cell(0, 3), target.Cell(0, 4)}),
            (Lines{"R1", "A", "R3", "B"}));
  EXPECT_FALSE(SetAddedRecipients(OpenAddRecipients(staff), staff, target, op));
  EXPECT_EQ(op.Texts(), Lines{"職員が追加登録されていません"});
}

TEST_F(ListsTest, TemplateChoiceIsClearedByAddAndDelete) {
  std::string box = "T1";
  AddTemplate(folder, templates, box, op);
  templates.editTemplate = "T1";
  LoadTemplateBody(folder, templates, op);
  templates.body = {S("第一段"), "", S("第二段")};
  box = "T2";
  AddTemplate(folder, templates, box, op);
  SaveTemplateBody(folder, templates, op);  // would write T1's text over it before
  EXPECT_EQ(test::Deciphered(dir / "TEIKEI/T1"), Lines{"定型本文を登録してください"});

  templates.editTemplate = "T1";
  templates.body = {S("第一段"), "", S("第二段")};
  SaveTemplateBody(folder, templates, op);
  EXPECT_EQ(test::Deciphered(dir / "TEIKEI/T1"), (Lines{"第一段", "", "第二段"}));
  templates.editTemplate = "T1";
  DeleteTemplates(folder, templates, {0});
  EXPECT_EQ(templates.editTemplate, "");
  templates.body = {"x"};
  SaveTemplateBody(folder, templates, op);
  templates.editTemplate = "T2";
  templates.body.clear();
  SaveTemplateBody(folder, templates, op);
  EXPECT_EQ(op.Texts(), (Lines{"見出しが登録されていません", "定型文書を登録しました", "見出しが登録されていません",
                               "本文が登録されていません"}));
  EXPECT_EQ(test::FileNames(dir / "TEIKEI"), Lines{"T2"});
}

TEST_F(ListsTest, ChooserPutsATemplateIntoTheNotice) {
  test::WriteEnciphered(dir / "TEIKEI/T", {"本文", ""});
  templates.names = {"Gone", "T"};
  TemplateChooser chooser = OpenTemplateChooser(templates);
  std::vector<std::string> body = {"old"};
  std::string subject;
  EXPECT_FALSE(ChooseTemplate(folder, chooser, 0, body, subject, op));  // its file is missing
  EXPECT_FALSE(ChooseTemplate(folder, chooser, -1, body, subject, op));
  EXPECT_TRUE(ChooseTemplate(folder, chooser, 1, body, subject, op));
  EXPECT_EQ(body, (Lines{S("本文"), ""}));
  EXPECT_EQ(subject, "T");
  EXPECT_EQ(op.Texts(), Lines(2, "定型文書が選択されていません"));
}

TEST_F(ListsTest, SignatureKeepsEmptyLinesAndIsAppendedAsItIs) {
  ASSERT_TRUE(SaveSignature(folder, {S("総務課"), "", "100"}));
  Lines signature;
  EXPECT_EQ(LoadSignature(folder, signature), ReadResult::Whole);
  Lines body = {"x"};
  AppendSignature(signature, body);
  AppendSignature(signature, body);
  EXPECT_EQ(body, (Lines{"x", S("総務課"), "", "100", S("総務課"), "", "100"}));
}

}  // namespace
}  // namespace zentavo
