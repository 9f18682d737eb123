#include <gtest/gtest.h>

#include <sstream>

#include "app/DataTool.h"
#include "store/LineCipher.h"
#include "support/TestSupport.h"

namespace zentavo {
namespace {
using test::S;

struct ToolRun {
  int status;
  std::string out, err;
};

ToolRun Tool(std::vector<std::string> args, const std::string& input = "") {
  std::istringstream in(input);
  std::ostringstream out, err;
  int status = RunDataTool(args, in, out, err);
  return {status, out.str(), err.str()};
}

TEST(DataTool, EncipherThenDecipherGivesThePlainLinesBack) {
  const std::string plain = S("氏名,メールアドレス,電話番号") + "\r\n" + S("山田,y@x.jp,1") + "\n\nlast";
  ToolRun enc = Tool({"encipher"}, plain);
  ASSERT_EQ(enc.status, 0);
  EXPECT_EQ(enc.out.substr(0, EncryptLine(S("氏名,メールアドレス,電話番号")).size() + 2),
            EncryptLine(S("氏名,メールアドレス,電話番号")) + "\r\n");
  ToolRun dec = Tool({"decipher"}, enc.out);
  ASSERT_EQ(dec.status, 0);
  EXPECT_EQ(dec.out, S("氏名,メールアドレス,電話番号") + "\r\n" + S("山田,y@x.jp,1") + "\r\n\r\nlast\r\n");
}

TEST(DataTool, DecipherStopsAtADamagedLineNamingIt) {
  ToolRun r = Tool({"decipher"}, EncryptLine("ok") + "\r\n" + "AAAAAAAAAAAAAAAA\r\n" + EncryptLine("never"));
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "ok\r\n");
  EXPECT_NE(r.err.find("line 2"), std::string::npos) << r.err;
}

TEST(DataTool, ConversionsAndHeaderDecoding) {
  EXPECT_EQ(Tool({"to-jis"}, S("会議") + "\r\n").out, "\x1b$B2q5D\x1b(J\r\n");
  EXPECT_EQ(Tool({"to-sjis"}, "\x1b$B2q5D\x1b(J\r\n").out, S("会議") + "\r\n");
  EXPECT_EQ(Tool({"to-euc"}, S("会議")).out, "\xb2\xf1\xb5\xc4");
  ToolRun h = Tool({"decode-header"}, "Re: =?ISO-2022-JP?B?GyRCMnE1RBsoQg==?=\n");
  EXPECT_EQ(h.out, "Re: " + S("会議") + "\r\n");
}

TEST(DataTool, ReadsAFileArgument) {
  test::TempFolder dir;
  test::WriteFile(dir / "in", "abc");
  EXPECT_EQ(Tool({"to-jis", (dir / "in").string()}).out, "abc");
  ToolRun missing = Tool({"to-jis", (dir / "none").string()});
  EXPECT_EQ(missing.status, 1);
  EXPECT_FALSE(missing.err.empty());
}

TEST(DataTool, WrongCallsExitWithTwo) {
  EXPECT_EQ(Tool({}).status, 2);
  EXPECT_EQ(Tool({"frobnicate"}).status, 2);
  EXPECT_EQ(Tool({"decipher", "a", "b"}).status, 2);
  ToolRun help = Tool({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("decode-header"), std::string::npos);
}

}  // namespace
}  // namespace zentavo
