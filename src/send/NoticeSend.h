// One notice going out, whoever started it (the send button, a booked
// moment): the one policy both follow. The MailNo is taken and the
// notice's logs written before anything leaves, so that a run cut short by
// a crash or the end of the session never hands its number to another
// notice; each batch goes out as one message in an SMTP session of its
// own, its Message-ID recorded first; after the last batch the text log
// holds the body as sent; when nothing went out the logs go and a number
// drawn for the notice is given back. A journal on disk says how far it
// got until it ends (send/SendJournal.h).
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/Grid.h"
#include "base/LocalTime.h"
#include "base/Steps.h"
#include "net/ServerTrust.h"
#include "net/SmtpTransport.h"
#include "store/DataFolder.h"
#include "store/SendPage.h"
#include "store/Settings.h"

namespace zentavo {

// The SMTP account from the settings, with its security and sign-in.
// Throws SmtpError when the port is not a decimal number from 0 to 65535.
SmtpAccount SmtpAccountFor(const Settings& settings);

// The addresses of the next batch: the rows after `cursor` are taken, and
// `cursor` moves over them, until `limit` addressed rows were taken (0: no
// limit) or the grid ends. Rows without an address are passed over. A cell
// holding commas gives one entry per non-blank piece.
std::vector<std::string> TakeBatch(const Grid& recipients, int& cursor, int limit);

// One batch ready to go: its message id, the wire text, its envelope, and
// the composed body lines in Shift_JIS (what the body box shows after the
// last batch).
struct BatchMail {
  std::string messageId;  // "<...>"
  SmtpEnvelope envelope;
  std::string data;
  std::vector<std::string> composed;
};

// Builds the message of one batch composed at `now`. Throws SmtpError when
// the batch would go to nobody.
BatchMail BuildBatchMail(const Settings& settings, const SendPage& page, const Grid& recipients,
                         std::string_view mailNo, std::string_view groupName, const std::vector<std::string>& addresses,
                         const LocalDateTime& now);

// The MailNo a notice goes out with.
struct TakenMailNo {
  std::string mailNo;
  bool drawn = false;      // the counter was advanced for it: given back when nothing goes out
  std::string lastBefore;  // the counter before
  bool saved = true;       // the settings file holds the counter
};

// A booked notice keeps the number its booking took (`booked`, already
// checked by the caller: a number no later notice carries); any other
// notice draws the next one from the counter, which is stored at once.
// Nothing when the counter is not a number.
std::optional<TakenMailNo> TakeMailNo(Settings& settings, const DataFolder& folder,
                                      const std::optional<std::string>& booked);

// The notice as its run fixed it when it began.
struct NoticeOut {
  Settings settings;  // with the notice's identifier
  SendPage page;
  Grid recipients{3, 2};
  std::string group;  // the group the body names ("" for none)
  int batches = 1;
  TakenMailNo mailNo;
};

// How far it got.
struct NoticeSent {
  std::string key;  // the logs' key; "" when they could not be written
  int sent = 0;     // batches that went out
  int batches = 1;
  ServerFailure failure;              // the batch that failed, if one did
  std::string logFailure;             // a log that could not be written
  std::vector<std::string> composed;  // the body as the last batch carried it
  bool complete() const { return sent == batches; }
  bool anythingOut() const { return sent > 0 || failure.handedOver; }
};

struct NoticeSendContext {
  const DataFolder& folder;
  Settings& settings;  // the live settings: the counter, and the security each session leaves
  SendRunState& run;   // `cancel` stops it between batches
  std::shared_ptr<SmtpTransport> transport;
  StepRunner& runner;
  Clock clock;
  std::function<void(int batch, int batches)> beforeBatch = [](int, int) {};
};

Task<NoticeSent> SendNoticeOut(NoticeSendContext c, NoticeOut n);

}  // namespace zentavo
