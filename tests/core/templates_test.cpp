#include <gtest/gtest.h>

#include "app/Lifecycle.h"
#include "store/NameList.h"
#include "store/Signature.h"
#include "store/Templates.h"
#include "store/TextFile.h"
#include "support/TestSupport.h"

namespace zentavo {
namespace {
using test::S;

class TemplatesTest : public ::testing::Test {
 protected:
  TemplatesTest() : folder(dir.path()) { CreateDataDirectories(folder); }
  test::TempFolder dir;
  DataFolder folder;
  TemplateState state;
  test::ScriptedOperator op;
};

TEST_F(TemplatesTest, NewTemplateShowsThePromptLine) {
  std::string box = S("会議通知");
  state.body = {"left over"};
  EXPECT_TRUE(AddTemplate(folder, state, box, op));
  EXPECT_EQ(box, "");
  EXPECT_TRUE(state.body.empty());
  state.editTemplate = S("会議通知");
  LoadTemplateBody(folder, state, op);
  EXPECT_EQ(state.body, std::vector<std::string>{S("定型本文を登録してください")});
  EXPECT_TRUE(op.messages.empty());
}

TEST_F(TemplatesTest, AddRefusals) {
  std::string box;
  AddTemplate(folder, state, box, op);
  box = "T";
  AddTemplate(folder, state, box, op);
  box = "T";
  AddTemplate(folder, state, box, op);
  box = "../JIAN/teikei";
  AddTemplate(folder, state, box, op);
  EXPECT_EQ(op.Texts(), (std::vector<std::string>{
                            "文書名が登録されていません", "既に同名の文書名が登録されています",
                            "文書名に使用できない名前です\r「/」を含む名前や「.」「..」は登録できません"}));
  EXPECT_EQ(state.names, std::vector<std::string>{"T"});
}

TEST_F(TemplatesTest, BodyWithEmptyLinesRoundTrips) {
  std::string box = "T";
  AddTemplate(folder, state, box, op);
  state.editTemplate = "T";
  state.body = {S("第一段"), "", "", S("第二段"), ""};
  SaveTemplateBody(folder, state, op);
  EXPECT_EQ(op.Texts(), std::vector<std::string>{"定型文書を登録しました"});
  EXPECT_EQ(state.editTemplate, "");
  EXPECT_TRUE(state.body.empty());
  state.editTemplate = "T";
  LoadTemplateBody(folder, state, op);
  EXPECT_EQ(state.body, (std::vector<std::string>{S("第一段"), "", "", S("第二段"), ""}));
}

TEST_F(TemplatesTest, SaveRefusalsLeaveTheFileUnchanged) {
  std::string box = "T";
  AddTemplate(folder, state, box, op);
  const std::string before = test::ReadFile(dir.path() / "TEIKEI" / "T");
  SaveTemplateBody(folder, state, op);  // no name chosen
  state.editTemplate = "T";
  SaveTemplateBody(folder, state, op);  // empty body
  EXPECT_EQ(op.Texts(), (std::vector<std::string>{"見出しが登録されていません", "本文が登録されていません"}));
  EXPECT_EQ(test::ReadFile(dir.path() / "TEIKEI" / "T"), before);
}

TEST_F(TemplatesTest, MissingFileIsReported) {
  state.names = {"Gone"};
  state.editTemplate = "Gone";
  LoadTemplateBody(folder, state, op);
  EXPECT_EQ(op.Texts(), std::vector<std::string>{"定型文書の読込に失敗しました"});
}

TEST_F(TemplatesTest, DeleteMoveAndList) {
  for (const char* n : {"A", "B", "C"}) {
    std::string box = n;
    AddTemplate(folder, state, box, op);
  }
  state.body = {"x"};
  DeleteTemplates(folder, state, {0});
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "TEIKEI" / "A"));
  EXPECT_TRUE(state.body.empty());
  EXPECT_EQ(MoveTemplateDown(state, {0}), 1);
  EXPECT_EQ(state.names, (std::vector<std::string>{"C", "B"}));
  ASSERT_TRUE(SaveTemplateList(folder, state));
  TemplateState loaded;
  LoadTemplateList(folder, loaded);
  EXPECT_EQ(loaded.names, state.names);
}

TEST_F(TemplatesTest, RebuildListsPlainFilesOnly) {
  WriteCipherLines(dir.path() / "TEIKEI" / "b", {"x"});
  WriteCipherLines(dir.path() / "TEIKEI" / "会議", {"x"});
  std::filesystem::create_directory(dir.path() / "TEIKEI" / "sub");
  test::WriteFile(dir.path() / "TEIKEI" / "a.~zt123.tmp", "cut short");
  RebuildTemplateList(folder, state);
  EXPECT_EQ(state.names, (std::vector<std::string>{"b", S("会議")}));
}

TEST_F(TemplatesTest, ChooserSetsBodyAndSubject) {
  std::string box = S("定例");
  AddTemplate(folder, state, box, op);
  state.editTemplate = S("定例");
  state.body = {"line1", "", "line3"};
  SaveTemplateBody(folder, state, op);

  TemplateChooser chooser = OpenTemplateChooser(state);
  std::vector<std::string> body = {"typed", "signature"};
  std::string subject = "old";
  test::ScriptedOperator op2;
  EXPECT_FALSE(ChooseTemplate(folder, chooser, -1, body, subject, op2));  // nothing selected
  EXPECT_EQ(op2.Texts(), std::vector<std::string>{"定型文書が選択されていません"});
  EXPECT_EQ(subject, "old");

  PreviewTemplate(folder, chooser, 0);
  EXPECT_EQ(chooser.preview, (std::vector<std::string>{"line1", "", "line3"}));
  EXPECT_TRUE(ChooseTemplate(folder, chooser, 0, body, subject, op2));
  EXPECT_EQ(body, (std::vector<std::string>{"line1", "", "line3"}));  // signature replaced too
  EXPECT_EQ(subject, S("定例"));

  std::filesystem::remove(dir.path() / "TEIKEI" / "定例");
  EXPECT_FALSE(ChooseTemplate(folder, chooser, 0, body, subject, op2));
  EXPECT_EQ(op2.Texts().back(), "定型文書が選択されていません");
}

TEST_F(TemplatesTest, SignatureRoundTripAndAppend) {
  std::vector<std::string> signature = {"--", "", S("総務課　山田")};
  ASSERT_TRUE(SaveSignature(folder, signature));
  std::vector<std::string> loaded;
  LoadSignature(folder, loaded);
  EXPECT_EQ(loaded, signature);
  std::vector<std::string> body = {"Hello"};
  AppendSignature(loaded, body);
  AppendSignature(loaded, body);
  EXPECT_EQ(body.size(), 7u);
  EXPECT_EQ(body[1], "--");
  EXPECT_EQ(body[4], "--");
}

}  // namespace
}  // namespace zentavo
