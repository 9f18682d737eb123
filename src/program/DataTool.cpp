#include "program/DataTool.h"

#include <fstream>
#include <functional>
#include <iostream>
#include <iterator>
#include <map>

#include "program/Version.h"
#include "store/LineCipher.h"
#include "store/TextFile.h"
#include "text/EncodedWords.h"
#include "text/KanjiCode.h"

namespace zentavo {
namespace {

const char kUsage[] =
    "Usage: zentavo-data COMMAND [FILE]\n"
    "Reads FILE, or standard input when FILE is missing, and writes to standard output.\n"
    "\n"
    "Commands:\n"
    "  decipher       each stored line of a data file -> its plain line (CR LF)\n"
    "  encipher       each plain line -> its stored line (CR LF)\n"
    "  to-jis         the whole input converted to ISO-2022-JP\n"
    "  to-sjis        the whole input converted to Shift_JIS\n"
    "  to-euc         the whole input converted to EUC-JP\n"
    "  decode-header  each line's MIME encoded words decoded to Shift_JIS (CR LF)\n"
    "  --help         this text\n"
    "  --version      the version\n"
    "\n"
    "Exit status: 0 done, 1 a line that cannot be deciphered or an unreadable file,\n"
    "2 a wrong call.\n";

using LineFn = std::function<std::string(const std::string&)>;

int EachLine(const std::string& input, const LineFn& fn, std::ostream& out, std::ostream& err, const char* failure) {
  size_t number = 0;
  for (const std::string& line : SplitLines(input)) {
    ++number;
    std::string result;
    try {
      result = fn(line);
    } catch (const std::exception&) {
      err << "zentavo-data: line " << number << ": " << failure << "\n";
      return 1;
    }
    out << result << "\r\n";
  }
  return 0;
}

}  // namespace

int RunDataTool(const std::vector<std::string>& args, std::istream& in, std::ostream& out, std::ostream& err) {
  if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
    out << kUsage;
    return 0;
  }
  if (args.size() == 1 && args[0] == "--version") {
    out << "zentavo-data " << kVersion << "\n";
    return 0;
  }
  static const std::map<std::string, KanjiTarget> kTargets = {
      {"to-jis", KanjiTarget::Jis}, {"to-sjis", KanjiTarget::Sjis}, {"to-euc", KanjiTarget::Euc}};
  const bool known = !args.empty() && (args[0] == "decipher" || args[0] == "encipher" || args[0] == "decode-header" ||
                                       kTargets.count(args[0]));
  if (!known || args.size() > 2) {
    if (args.empty()) {
      err << "zentavo-data: no command given\n";
    } else if (!known) {
      err << "zentavo-data: unknown command '" << args[0] << "'\n";
    } else {
      err << "zentavo-data: too many arguments\n";
    }
    err << "Try 'zentavo-data --help'.\n";
    return 2;
  }

  std::string input;
  if (args.size() == 2 && args[1] != "-") {
    std::ifstream file(args[1], std::ios::binary);
    if (!file) {
      err << "zentavo-data: cannot read " << args[1] << "\n";
      return 1;
    }
    input.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  } else {
    input.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

  const std::string& command = args[0];
  int status = 0;
  if (command == "decipher") {
    status = EachLine(
        input, [](const std::string& l) { return DecryptLine(l); }, out, err,
        "not a stored line (cannot be deciphered)");
  } else if (command == "encipher") {
    status = EachLine(
        input, [](const std::string& l) { return EncryptLine(l); }, out, err, "cannot be enciphered");
  } else if (command == "decode-header") {
    status = EachLine(
        input, [](const std::string& l) { return DecodeEncodedWords(l); }, out, err, "cannot be decoded");
  } else {
    out << ConvertKanjiCode(input, kTargets.at(command));
  }
  out.flush();
  return status;
}

}  // namespace zentavo
