#include "store/Operator.h"

#include "text/SjisUnicode.h"

namespace zentavo {

const std::string& ConfirmCaption() {
  static const std::string caption = Sj("確認");
  return caption;
}

void Warn(Operator& op, std::string_view text) {
  op.Message(ConfirmCaption(), text, MsgIcon::Warning, MsgButtons::Ok);
}

bool AskYesNo(Operator& op, std::string_view text) {
  return op.Message(ConfirmCaption(), text, MsgIcon::Warning, MsgButtons::YesNo) == MsgAnswer::Yes;
}

}  // namespace zentavo
