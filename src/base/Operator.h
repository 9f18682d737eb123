// How core operations talk to the person at the desk. The windows implement
// this with message boxes and file dialogs; tests script the answers and
// record every message. Texts are Shift_JIS; details are UTF-8 (they come
// from servers and the file system).
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace zentavo {

enum class MsgIcon { None, Warning, Information, Error, Question };
enum class MsgButtons { Ok, YesNo };
enum class MsgAnswer { Ok, Yes, No };

struct FileChoice {
  std::string title;       // dialog title
  std::string filter;      // "description|pattern"
  std::string defaultExt;  // without the dot; empty for none
};

class Operator {
 public:
  virtual ~Operator() = default;

  // A modal message box. Lines in `text` are separated by "\r". `detail`
  // (UTF-8, may be empty) is what lies behind the message, such as the
  // server's reply or the file and the system's reason; the box offers it
  // on request.
  virtual MsgAnswer Message(std::string_view caption, std::string_view text, MsgIcon icon, MsgButtons buttons,
                            std::string_view detail) = 0;

  // The text of a progress display ("sending 1/3 ..."); empty clears it.
  virtual void Progress(std::string_view text) = 0;

  // File dialogs; nullopt when the operator cancels.
  virtual std::optional<std::filesystem::path> ChooseOpenFile(const FileChoice& choice) = 0;
  virtual std::optional<std::filesystem::path> ChooseSaveFile(const FileChoice& choice) = 0;
};

// The system's usual box: caption "確認", warning icon, OK.
void Warn(Operator& op, std::string_view text, std::string_view detail = {});

// A failure: the usual box with the detail, and the detail written to the
// diagnostic log beside the message it explains.
void ReportFailure(Operator& op, std::string_view text, std::string_view detail);

// The usual question: caption "確認", warning icon, Yes/No; true on Yes.
bool AskYesNo(Operator& op, std::string_view text);

// The usual caption "確認" in Shift_JIS.
const std::string& ConfirmCaption();

}  // namespace zentavo
