// Reading reports of failed delivery.
//
// A standard report is judged by its delivery-status part alone: a recipient
// has failed only where its Action says "failed". The text for people is not
// read for recipients, since a delay notice names its delayed recipients
// there just as a bounce names its failed ones.
//
// A plain bounce is read only from the mail system itself: the sender is a
// MAILER-DAEMON or postmaster, or the message says it was sent automatically
// and its subject is a bounce's. A staff member's reply that quotes a bounce,
// an out-of-office notice that quotes the notice, are never taken for one.
//
// Work stays bounded whatever the message: it is parsed in place
// (receive/ParsedMessage.h), only the parts that matter are decoded, each up
// to a limit, and every scan over them is linear.
#include "receive/DeliveryReport.h"
#include "text/Ascii.h"

#include <algorithm>
#include <array>
#include <cstdlib>

#include "receive/BounceText.h"
#include "receive/ParsedMessage.h"
#include "receive/ReportFields.h"
#include "text/HeaderText.h"

namespace zentavo {

namespace {

constexpr std::size_t kStatusLimit = std::size_t{512} << 10;   // a delivery-status part
constexpr std::size_t kHeadersLimit = std::size_t{256} << 10;  // a returned message's headers
constexpr std::size_t kTextLimit = std::size_t{1} << 20;       // a plain bounce's text
// The per-message group and the recipients' groups read from one report:
// failed recipients may follow many delayed or delivered ones.
constexpr std::size_t kMostGroups = 1000;
// RFC 5322's limit on a line, more than any message id needs.
constexpr std::size_t kLongestMessageId = 998;

std::string_view TrimWhite(std::string_view s) { return TrimAscii(s, " \t\r\n"); }

// What a bounce subject says, in lower case, anywhere in the subject.
constexpr std::array<std::string_view, 10> kBounceSubjects = {
    "undelivered mail",    "undeliverable",  "delivery status notification",
    "returned mail",       "failure notice", "mail delivery failed",
    "delivery failure",    "non-delivery",   "returned to sender",
    "delivery has failed",
};

// The first word of a field's value, lower case: "failed" of "Failed
// (recipient unknown)", "auto-replied" of "auto-replied; owner=...".
std::string Keyword(std::string_view value) {
  value = TrimWhite(value);
  return LowerAscii(value.substr(0, value.find_first_of(" \t\r\n;(")));
}

// ---- The returned message ---------------------------------------------------

// A message id with its angle brackets, as the program writes them; a bare
// one is given its brackets; "" when the field holds none.
std::string MessageIdOf(std::string_view raw) {
  const std::string value = Unfolded(raw);
  std::string_view id = value;
  if (const std::size_t open = id.find('<'); open != std::string_view::npos) {
    const std::size_t close = id.find('>', open);
    if (close == std::string_view::npos) return {};
    id = id.substr(open + 1, close - open - 1);
  }
  const bool printable = std::all_of(id.begin(), id.end(), [](char c) { return c > ' ' && c < 0x7F && c != '<'; });
  return id.empty() || id.size() > kLongestMessageId || !printable ? "" : "<" + std::string(id) + ">";
}

void TakeOriginal(std::optional<std::string_view> messageId, std::optional<std::string_view> subject,
                  DeliveryReport& report) {
  if (messageId) report.originalMessageId = MessageIdOf(*messageId);
  if (subject) report.originalSubject = DecodeHeaderText(*subject);
}

// The headers of a returned message quoted as text.
void ReadQuotedHeaders(std::string_view text, DeliveryReport& report) {
  const std::vector<FieldGroup> groups = FieldGroups(text, 1);
  if (!groups.empty()) TakeOriginal(FieldValue(groups[0], "Message-ID"), FieldValue(groups[0], "Subject"), report);
}

// A returned message: whole (message/rfc822, message/global), or its headers
// alone (text/rfc822-headers, message/global-headers).
void ReadReturned(GMimeObject* returned, DeliveryReport& report) {
  if (GMIME_IS_MESSAGE_PART(returned)) {
    GMimeMessage* inner = g_mime_message_part_get_message(GMIME_MESSAGE_PART(returned));
    if (!inner) return;
    const std::optional<std::string> messageId = RawField(GMIME_OBJECT(inner), "Message-ID");
    const std::optional<std::string> subject = RawField(GMIME_OBJECT(inner), "Subject");
    TakeOriginal(messageId, subject, report);
  } else {
    ReadQuotedHeaders(DecodedContent(GMIME_PART(returned), kHeadersLimit), report);
  }
}

// ---- The parts of a report --------------------------------------------------

struct ReportParts {
  GMimePart* status = nullptr;      // message/delivery-status or message/global-delivery-status
  GMimePart* text = nullptr;        // the first plain text, for people
  GMimeObject* returned = nullptr;  // the returned message or its headers
};

bool IsStatusPart(GMimeObject* part) {
  return IsType(part, "message", "delivery-status") || IsType(part, "message", "global-delivery-status");
}

bool IsReturnedHeaders(GMimeObject* part) {
  return IsType(part, "text", "rfc822-headers") || IsType(part, "message", "global-headers");
}

ReportParts PartsOf(GMimeObject* top) {
  ReportParts parts;
  if (!GMIME_IS_MULTIPART(top)) {
    if (GMIME_IS_PART(top) && IsType(top, "text", "plain")) parts.text = GMIME_PART(top);
    return parts;
  }
  GMimeMultipart* multipart = GMIME_MULTIPART(top);
  for (int i = 0; i < g_mime_multipart_get_count(multipart); ++i) {
    GMimeObject* part = g_mime_multipart_get_part(multipart, i);
    if (GMIME_IS_MESSAGE_PART(part) || (GMIME_IS_PART(part) && IsReturnedHeaders(part))) {
      if (!parts.returned) parts.returned = part;
    } else if (GMIME_IS_PART(part) && IsStatusPart(part)) {
      if (!parts.status) parts.status = GMIME_PART(part);
    } else if (GMIME_IS_PART(part) && IsType(part, "text", "plain")) {
      if (!parts.text) parts.text = GMIME_PART(part);
    }
  }
  return parts;
}

// ---- Standard reports (RFC 3464, RFC 6533) ----------------------------------

// A report of delivery, not a read receipt or any other kind of report. A
// report that leaves out its type is judged by its parts.
bool IsDeliveryReport(GMimeObject* top) {
  GMimeContentType* type = g_mime_object_get_content_type(top);
  const char* reportType = type ? g_mime_content_type_get_parameter(type, "report-type") : nullptr;
  if (!reportType) return true;
  const std::string keyword = Keyword(reportType);
  return keyword == "delivery-status" || keyword == "global-delivery-status";
}

// RFC 6533's "utf-8" addresses write a character as "\x{2B}". Only those of
// ASCII are undone: the program sends to ASCII addresses alone.
std::string Unescaped(std::string_view address) {
  std::string out;
  for (std::size_t i = 0; i < address.size(); ++i) {
    const std::size_t close = address.substr(i, 8).find('}');
    if (address.substr(i).starts_with("\\x{") && close != std::string_view::npos && close > 3) {
      const std::string hex(address.substr(i + 3, close - 3));
      const unsigned long code = std::strtoul(hex.c_str(), nullptr, 16);
      if (hex.find_first_not_of("0123456789abcdefABCDEF") == std::string::npos && code > 0x20 && code < 0x7F) {
        out.push_back(static_cast<char>(code));
        i += close;
        continue;
      }
    }
    out.push_back(address[i]);
  }
  return out;
}

// The address of a recipient field: "rfc822; tanaka@example.jp", or the
// address alone where a server left out its type.
std::string TypedAddress(std::string_view raw) {
  const std::string value = Unfolded(raw);
  const std::size_t semicolon = value.find(';');
  if (semicolon == std::string::npos) return RecipientAddress(value);
  const std::string_view address = std::string_view(value).substr(semicolon + 1);
  return RecipientAddress(Keyword(value.substr(0, semicolon)) == "utf-8" ? Unescaped(address) : address);
}

std::optional<FailedDelivery> FailedRecipient(const FieldGroup& group, bool global) {
  const std::optional<std::string_view> action = FieldValue(group, "Action");
  if (!action || Keyword(*action) != "failed") return std::nullopt;
  FailedDelivery failed;
  for (const char* name : {"Original-Recipient", "Final-Recipient"}) {
    if (const std::optional<std::string_view> field = FieldValue(group, name); field && failed.address.empty())
      failed.address = TypedAddress(*field);
  }
  if (failed.address.empty()) return std::nullopt;
  if (const std::optional<std::string_view> status = FieldValue(group, "Status"))
    failed.status = StatusIn(Unfolded(*status));
  if (const std::optional<std::string_view> diagnostic = FieldValue(group, "Diagnostic-Code"))
    failed.reason = ReasonText(*diagnostic, global ? "utf-8" : "");
  return failed;
}

std::optional<DeliveryReport> ReadStandardReport(const ReportParts& parts) {
  if (!parts.status) return std::nullopt;
  const bool global = IsType(GMIME_OBJECT(parts.status), "message", "global-delivery-status");
  const std::string fields = DecodedContent(parts.status, kStatusLimit);
  DeliveryReport report;
  for (const FieldGroup& group : FieldGroups(fields, kMostGroups)) {
    if (report.failed.size() == kMostFailedDeliveries) break;
    if (std::optional<FailedDelivery> failed = FailedRecipient(group, global))
      report.failed.push_back(std::move(*failed));
  }
  if (report.failed.empty()) return std::nullopt;
  if (parts.returned) ReadReturned(parts.returned, report);
  return report;
}

// ---- Plain bounces ----------------------------------------------------------

// The local part of a From field's address, in lower case: the address in
// angle brackets, or the first word where there are none
// ("MAILER-DAEMON@mail.example.jp (Mail Delivery System)").
std::string SenderLocalPart(std::string_view from) {
  std::string_view address = TrimWhite(from);
  if (const std::size_t open = address.rfind('<'); open != std::string_view::npos) {
    address = address.substr(open + 1);
    address = address.substr(0, address.find('>'));
  } else {
    address = address.substr(0, address.find_first_of(" \t\r\n("));
  }
  return LowerAscii(TrimWhite(address.substr(0, address.rfind('@'))));
}

bool FromMailSystem(GMimeObject* headers) {
  const std::optional<std::string> from = RawField(headers, "From");
  const std::string local = from ? SenderLocalPart(*from) : "";
  return local == "mailer-daemon" || local == "postmaster";
}

bool IsAutomaticBounce(GMimeObject* headers) {
  const std::optional<std::string> autoSubmitted = RawField(headers, "Auto-Submitted");
  const std::string keyword = autoSubmitted ? Keyword(*autoSubmitted) : "";
  if (keyword != "auto-replied" && keyword != "auto-generated") return false;
  const std::optional<std::string> subject = RawField(headers, "Subject");
  const std::string said = subject ? LowerAscii(DecodeHeaderText(*subject)) : "";
  return std::any_of(kBounceSubjects.begin(), kBounceSubjects.end(),
                     [&](std::string_view s) { return said.find(s) != std::string::npos; });
}

std::optional<DeliveryReport> ReadPlainBounce(GMimeObject* headers, const ReportParts& parts) {
  if (!parts.text || (!FromMailSystem(headers) && !IsAutomaticBounce(headers))) return std::nullopt;
  GMimeContentType* type = g_mime_object_get_content_type(GMIME_OBJECT(parts.text));
  const char* charset = type ? g_mime_content_type_get_parameter(type, "charset") : nullptr;
  const std::string text = DecodedContent(parts.text, kTextLimit);
  BounceText bounce = ReadBounceText(text, charset ? charset : "");
  DeliveryReport report;
  report.failed = std::move(bounce.failed);
  ReadQuotedHeaders(bounce.original, report);
  if (report.originalMessageId.empty() && report.originalSubject.empty() && parts.returned)
    ReadReturned(parts.returned, report);
  if (report.failed.empty() || (report.originalMessageId.empty() && report.originalSubject.empty()))
    return std::nullopt;
  return report;
}

}  // namespace

std::optional<DeliveryReport> ReadDeliveryReport(std::string_view raw) {
  const ParsedMessage message(raw);
  GMimeObject* top = message.get() ? g_mime_message_get_mime_part(message.get()) : nullptr;
  if (!top) return std::nullopt;
  const ReportParts parts = PartsOf(top);
  if (IsType(top, "multipart", "report")) return IsDeliveryReport(top) ? ReadStandardReport(parts) : std::nullopt;
  return ReadPlainBounce(GMIME_OBJECT(message.get()), parts);
}

}  // namespace zentavo
