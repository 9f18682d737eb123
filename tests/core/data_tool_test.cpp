#include <gtest/gtest.h>

#include <sstream>

#include "program/DataTool.h"
#include "store/LineCipher.h"
#include "support/TestSupport.h"

using namespace zentavo;
using zentavo::test::S;

// Each row is one call: arguments, standard input, the expected standard
// output byte for byte and exit status, and a text the error output must
// hold (empty: nothing may be written there).
TEST(DataTool, Commands) {
  test::TempFolder dir;
  test::WriteFile(dir / "in", "abc");
  const std::string file = (dir / "in").string(), none = (dir / "none").string();
  const std::string head = S("氏名,メールアドレス,電話番号"), row = S("山田,y@x.jp,1");
  struct Row {
    std::vector<std::string> args;
    std::string in, out;
    int status;
    std::string err;
  };
  // clang-format off
  const Row rows[] = {
      // Line ends CR LF, LF or none; an empty line stays a line.
      {{"encipher"}, head + "\r\n" + row + "\n\nlast", EncryptLine(head) + "\r\n" + EncryptLine(row) + "\r\n" +
           EncryptLine("") + "\r\n" + EncryptLine("last") + "\r\n", 0, ""},
      {{"decipher"}, EncryptLine(head) + "\n" + EncryptLine(row), head + "\r\n" + row + "\r\n", 0, ""},
      {{"decipher"}, EncryptLine("ok") + "\r\nAAAAAAAAAAAAAAAA\r\n" + EncryptLine("never"), "ok\r\n", 1, "line 2"},
      {{"to-jis"}, S("会議") + "\r\n", "\x1b$B2q5D\x1b(J\r\n", 0, ""},
      {{"to-sjis"}, "\x1b$B2q5D\x1b(J\r\n", S("会議") + "\r\n", 0, ""},
      {{"to-euc"}, S("会議"), "\xb2\xf1\xb5\xc4", 0, ""},
      {{"decode-header"}, "Re: =?ISO-2022-JP?B?GyRCMnE1RBsoQg==?=\n", "Re: " + S("会議") + "\r\n", 0, ""},
      {{"to-jis", file}, "not read", "abc", 0, ""},
      {{"to-jis", "-"}, "stdin", "stdin", 0, ""},
      {{"to-jis", none}, "", "", 1, none},
      {{}, "", "", 2, "--help"},
      {{"frobnicate"}, "x", "", 2, "frobnicate"},
      {{"decipher", file, file}, "", "", 2, "--help"},
  };
  // clang-format on
  for (const Row& r : rows) {
    SCOPED_TRACE((r.args.empty() ? std::string("(no command)") : r.args[0]) + " <- " + r.in);
    std::istringstream in(r.in);
    std::ostringstream out, err;
    EXPECT_EQ(RunDataTool(r.args, in, out, err), r.status);
    EXPECT_EQ(out.str(), r.out);
    if (r.err.empty())
      EXPECT_EQ(err.str(), "");
    else
      EXPECT_NE(err.str().find(r.err), std::string::npos) << err.str();
  }
}
