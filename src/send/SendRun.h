// The send run behind "  メッセージ送信": check the inputs, ask, work out the
// batches, take the MailNo and write the notice's logs, send each batch as
// one message in its own SMTP session, then list the recipients without an
// address. The number and the logs are stored before the first batch
// leaves, so a run cut short by a crash or the end of the session never
// hands its number to another notice; when the first batch fails before its
// message reached the server, both are given back.
//
// The run is a coroutine: each SMTP session runs on the step runner's
// worker, so the window stays responsive, and the run goes on on the
// window's thread when the session is done. A second run cannot start while
// one is under way (SendRunState::running); SendRunState::cancel stops it
// between batches when the program ends.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/Grid.h"
#include "base/Operator.h"
#include "base/Steps.h"
#include "net/ServerTrust.h"
#include "net/SmtpTransport.h"
#include "send/NoticeMessage.h"
#include "send/NoticeSend.h"
#include "send/SplitSend.h"
#include "store/DataFolder.h"
#include "store/SendPage.h"
#include "store/Settings.h"

namespace zentavo {

// What the send run needs of the windows besides message boxes. Progress
// texts go through Operator::Progress while the progress window is open.
class SendOperator : public Operator {
 public:
  // The run has begun: the send page and its button are locked until
  // SendRunEnded.
  virtual void SendRunStarted() = 0;
  virtual void SendRunEnded() = 0;

  // The borderless progress window, shown without being modal.
  virtual void ShowProgressWindow() = 0;
  virtual void CloseProgressWindow() = 0;

  // The modal "分割送信" window; true for "送信実行", false for "キャンセル" or
  // when it was closed otherwise.
  virtual bool ConfirmSplit(const SplitVerdict& verdict) = 0;

  // The modal "未送信" list. The window hides the main window while it is
  // shown and shows it again afterwards.
  virtual void ShowUnregistered(const std::vector<UnregisteredRow>& rows) = 0;
};

// Everything the run reads and changes. The referenced objects must outlive
// the run, which may end long after SendNotice returns. The transport is
// shared: a session in progress on a worker keeps it alive by itself.
struct SendContext {
  const DataFolder& folder;
  Settings& settings;
  const Grid& recipients;  // the send page's recipient grid
  SendPage& page;
  SendRunState& run;
  SendOperator& op;
  std::shared_ptr<SmtpTransport> transport;
  StepRunner& runner;
  Clock clock = NowLocal;
};

// The eight checks before anything is asked, in order: the warning of the
// first that fails (Shift_JIS), or nullopt.
std::optional<std::string> FailedSendCheck(const Settings& settings, const SendPage& page, const Grid& recipients);

// The notice the send page holds.
SendPageContent SendPageContentOf(const SendPage& page, const Grid& recipients);

// True when the send page holds something the operator has not sent: it is
// neither blank nor as the last send left it.
bool HoldsUnsentNotice(const SendPage& page, const Grid& recipients, const SendRunState& run);

// The send button. Returns at once when a run is already under way.
RunTask SendNotice(SendContext ctx);

}  // namespace zentavo
