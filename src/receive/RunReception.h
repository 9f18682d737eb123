// The reception run behind "受信確認": read the mailbox by POP3 and turn it
// into the received-mail list. Mail from a staff address (or the operator's
// own copy of a notice) is listed with the staff member's name and "○", and
// the MailNo that follows the identifier in its subject; other mail is
// listed only when asked for. Bodies go to the body pane when asked for.
//
// Like the send run, the run is a coroutine: the POP3 session's steps run
// on the step runner's worker, one message at a time (a server that takes
// commands in a pipeline is asked for the next ones meanwhile), and the run
// goes on on the window's thread with each message's values. It can be
// cancelled between messages.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/Grid.h"
#include "base/Operator.h"
#include "base/Steps.h"
#include "history/RecordRepliesInLogs.h"
#include "net/Pop3Transport.h"
#include "receive/MailboxListing.h"
#include "receive/ReceivedMail.h"
#include "store/DataFolder.h"
#include "store/Settings.h"

namespace zentavo {

// The check boxes of the reception tab, as they stand when a run starts.
struct ReceptionOptions {
  bool staffBodies = false;  // <職員メール> "本文表示"
  bool listOthers = false;   // <職員以外メール> "件名表示"
  bool otherBodies = false;  // <職員以外メール> "本文表示"
  bool unseenOnly = false;   // "未受信受信"
  bool continuous = false;   // "連続受信"
};

struct ReceptionState {
  Grid received{6, 2};                 // the received-mail list, header in row 0
  std::vector<std::string> bodyLines;  // the body pane (and the separate body window)
  int serverCount = 0;                 // the count the server gave in the latest run
  MailboxListing listing;              // how to know the listed messages again
  std::vector<int> read;               // the messages the latest run read, in order
  RecordedReplies recorded;            // what the latest run recorded in the logs
  bool running = false;                // a run (or a deletion) is under way: no second one
  bool cancel = false;                 // "停止" was pressed: the run ends before the next message
};

// What the run needs of the windows besides message boxes.
class ReceptionOperator : public Operator {
 public:
  // The progress window: its caption, then "current／total" and the bar.
  virtual void ShowProgress(std::string_view caption, int total) = 0;
  virtual void SetProgress(int current) = 0;
  virtual void CloseProgress() = 0;
};

struct ReceptionContext {
  const DataFolder& folder;
  Settings& settings;  // the account, the own address, the identifier, the last seen count
  const Grid& staff;
  ReceptionOptions options;
  ReceptionState& state;
  ReceptionOperator& op;
  std::shared_ptr<Pop3Transport> transport;
  StepRunner& runner;
  // Called on the window's thread when the run has ended; false after a
  // failure (the operator has been told).
  std::function<void(bool succeeded)> finished = [](bool) {};
};

// One pass over the mailbox. Returns at once when a run is under way.
// Every run, whoever started it and however it ends, records the staff
// replies and reports of undelivered mail it read before it ends
// (c.state.recorded), so that no deletion can take a reply from the server
// before it counted.
RunTask RunReception(ReceptionContext c);

// What the latest run read becomes seen (UnseenMail.h), and the seen ids
// are kept. The run does it at its end, except during continuous reception
// with "未受信受信", where ending continuous reception does it.
void EndReceptionMarking(Settings& settings, const DataFolder& folder, const ReceptionState& state);

// The steps the reception's sessions share: connecting and logging in on
// the worker; message `numbers[i]` read into plain values there (a large
// one never holds up the window; `text`: its texts too), where the server
// takes commands in a pipeline with the messages after it asked for
// meanwhile; and recording what was found.
OffThread<std::shared_ptr<Mailbox>> OpenMailbox(const ReceptionContext& c, const Settings& settings);
OffThread<ReceivedMail> FetchMessage(StepRunner& runner, std::shared_ptr<Mailbox> mailbox,
                                     std::shared_ptr<const std::vector<int>> numbers, std::size_t i, bool text);
RecordedReplies RecordFoundMail(ReceptionContext& c, const FoundMail& found);

}  // namespace zentavo
