#include "base/Operator.h"

#include "base/DiagnosticLog.h"
#include "text/SjisUnicode.h"

namespace zentavo {

const std::string& ConfirmCaption() {
  static const std::string caption = Sj("確認");
  return caption;
}

void Warn(Operator& op, std::string_view text, std::string_view detail) {
  op.Message(ConfirmCaption(), text, MsgIcon::Warning, MsgButtons::Ok, detail);
}

void ReportFailure(Operator& op, std::string_view text, std::string_view detail) {
  LogDiagnostic(SjisToUtf8(text) + ": " + std::string(detail));
  Warn(op, text, detail);
}

bool AskYesNo(Operator& op, std::string_view text) {
  return op.Message(ConfirmCaption(), text, MsgIcon::Warning, MsgButtons::YesNo, {}) == MsgAnswer::Yes;
}

}  // namespace zentavo
