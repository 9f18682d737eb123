// One mail message of a notice: its fields, the body as composed from the
// send page, and the text that goes over the wire.
//
// The subject is "identifier + MailNo + _ + subject" (the reply matching
// finds the notice again by identifier and MailNo side by side), the body is
// the operator's text followed by the send stamp and the optional lists, in
// ISO-2022-JP. Recipients travel in blind copy, so they exist only in the
// SMTP envelope, never in the header.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "base/Grid.h"
#include "base/LocalTime.h"
#include "history/TransmissionLogs.h"
#include "net/SmtpTransport.h"
#include "store/SendPage.h"
#include "store/Settings.h"

namespace zentavo {

struct NoticeMessage {
  std::string from;               // the bare sender address
  std::vector<std::string> to;    // the sender address with copy to self, else empty
  std::vector<std::string> bcc;   // the batch's addresses; envelope only
  std::string subject;            // Shift_JIS: identifier + MailNo + "_" + subject
  std::vector<std::string> body;  // ISO-2022-JP lines, without line ends
  std::string messageId = "";     // "<...>"; a fresh one when empty
};

// A fresh message id, "<...@domain>", at the sender's domain (the machine's
// name when the address has none): the clock, a count and 64 random bits,
// so neither two batches of one run nor two runs on two machines share one.
std::string NewMessageId(std::string_view sender);

// From (the bare sender address) and Subject; To, Bcc and the body are the
// send run's to fill in for each batch.
NoticeMessage BuildNoticeMessage(const Settings& settings, const SendPage& page, std::string_view mailNo);

// The body as sent, in Shift_JIS: the body box's lines, " ", the send stamp
// "SEND:yyyy/MM/dd HH:mm:ss" of `now`, " ", then the recipient names and the
// group name when the page asks for them. `groupName` is the group to name
// ("" gives "個別伝達"): the page's group for the interactive send, the
// reservation's for the unattended one.
std::vector<std::string> ComposeNoticeBody(const SendPage& page, const Grid& recipients, std::string_view groupName,
                                           const LocalDateTime& now);

// The composed lines joined with CR LF, converted to the ISO-2022-JP of
// outgoing mail (SjisToMailJis) and split into lines again; a line longer
// than a mail line may be is broken between characters, each piece closed
// in ASCII.
std::vector<std::string> ConvertBodyToJis(const std::vector<std::string>& lines);

// The Subject header's value as it goes on the wire, folded: CR LF + blank
// between lines, no line (with "Subject: " in front of the first) longer
// than 78 characters. Plain printable ASCII goes as it is; anything else
// becomes self-contained ISO-2022-JP B words.
std::string EncodeSubjectHeader(std::string_view sjisSubject);

// The message's header and body, every line ended by CR LF, not dot-stuffed.
// `date` fills the Date header. To names the copy to self, or else the empty
// group "undisclosed-recipients:;"; the Message-ID is the message's own or,
// when it has none, a fresh one.
std::string RenderNoticeMessage(const NoticeMessage& message, const LocalDateTime& date);

// MAIL FROM and the RCPT TO list: To first, then Bcc.
SmtpEnvelope NoticeEnvelope(const NoticeMessage& message);

// An address or header text with every CR and LF taken out.
std::string WithoutLineBreaks(std::string_view text);

}  // namespace zentavo
