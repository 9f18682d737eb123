// Reading a received message. GMime parses the MIME structure and undoes
// the transfer encodings; every text is taken from it before any charset
// conversion and converted here (text/ReceivedCharset.h), and the headers
// that carry names are read from their raw text (receive/StructuredHeaders.h,
// text/HeaderText.h): GMime's own conversions go through glibc, which reads
// the NEC rows of ISO-2022-JP wrongly.
//
// Memory stays bounded whatever the message: GMime reads the caller's bytes
// in place (no copy of the message), keeps each part as a window onto them,
// and only text is ever decoded, up to kTextLimit for the whole message.
// Attachments are never decoded and never written anywhere: only their names
// are shown.
#include "receive/ReceivedMail.h"
#include "text/Ascii.h"

#include <algorithm>

#include "receive/AutomaticReply.h"
#include "receive/ParsedMessage.h"
#include "receive/StructuredHeaders.h"
#include "text/HeaderText.h"
#include "text/HtmlToText.h"
#include "text/ReceivedCharset.h"

namespace zentavo {

namespace {

// The most text one message gives, body and text parts together. A reply of
// a thousand pages is less; a run over a mailbox of huge messages keeps its
// memory, and the body pane stays usable. The rest is cut off.
constexpr std::size_t kTextLimit = std::size_t{1} << 20;
// Parts nested deeper are not read: no mail program nests so deep, and the
// walk stays shallow on the stack.
constexpr int kDeepestPart = 32;

// Only a date that GMime reads in full; a missing or unreadable one is
// nothing, never a made-up 1970.
std::optional<LocalDateTime> DateOf(std::optional<std::string> raw) {
  if (!raw) return std::nullopt;
  std::replace_if(
      raw->begin(), raw->end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
  GDateTime* utc = g_mime_utils_header_decode_date(raw->c_str());
  if (!utc) return std::nullopt;
  GDateTime* local = g_date_time_to_local(utc);
  g_date_time_unref(utc);
  if (!local) return std::nullopt;
  LocalDateTime t;
  g_date_time_get_ymd(local, &t.year, &t.month, &t.day);
  t.hour = g_date_time_get_hour(local);
  t.minute = g_date_time_get_minute(local);
  t.second = g_date_time_get_second(local);
  t.utcOffsetMinutes = static_cast<int>(g_date_time_get_utc_offset(local) / G_TIME_SPAN_MINUTE);
  g_date_time_unref(local);
  return t;
}

// Every line end as CR LF, as the program's texts have them.
std::string WithCrLf(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 32);
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' || text[i] == '\n') {
      out += "\r\n";
      if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      out.push_back(text[i]);
    }
  }
  return out;
}

class Reader {
 public:
  explicit Reader(ReceivedMail& mail) : mail_(mail) {}

  // A text part's text, HTML as what a reader sees of it.
  std::string Text(GMimePart* part) {
    const std::string bytes = DecodedContent(part, budget_);
    budget_ -= bytes.size();
    GMimeContentType* type = g_mime_object_get_content_type(GMIME_OBJECT(part));
    const char* charset = type ? g_mime_content_type_get_parameter(type, "charset") : nullptr;
    const std::string text = ReceivedTextToSjis(bytes, charset ? charset : "");
    return IsType(GMIME_OBJECT(part), "text", "html") ? HtmlToText(text) : WithCrLf(text);
  }

  // The name a part is shown by when it is an attachment. A text part that
  // names itself only in its Content-Type, as some mail programs write the
  // body, is still text.
  static std::optional<std::string> AttachmentName(GMimeObject* object) {
    const std::optional<std::string> disposition = RawField(object, "Content-Disposition");
    std::optional<std::string> name = disposition ? FileNameParameter(*disposition, "filename") : std::nullopt;
    GMimeContentDisposition* d = g_mime_object_get_content_disposition(object);
    const bool attached = d && g_mime_content_disposition_is_attachment(d);
    if (auto type = RawField(object, "Content-Type"); !name && type && (attached || !IsType(object, "text", "*")))
      name = FileNameParameter(*type, "name");
    if (!name && GMIME_IS_MESSAGE_PART(object)) {  // a forwarded message, by its subject
      GMimeMessage* inner = g_mime_message_part_get_message(GMIME_MESSAGE_PART(object));
      if (auto subject = inner ? RawField(GMIME_OBJECT(inner), "Subject") : std::nullopt)
        name = DecodeHeaderText(*subject);
    }
    if (!name && attached) name.emplace();
    return name;
  }

  void Part(GMimeObject* object, int depth) {
    if (depth > kDeepestPart) return;
    if (GMIME_IS_MULTIPART(object)) {
      GMimeMultipart* multipart = GMIME_MULTIPART(object);
      const char* prologue = g_mime_multipart_get_prologue(multipart);
      if (g_mime_multipart_get_count(multipart) == 0 && prologue && budget_ > 0) {
        // No boundary, or none that the parts use: all the text is prologue.
        const std::string_view bytes = std::string_view(prologue).substr(0, budget_);
        budget_ -= bytes.size();
        mail_.parts.push_back({MailPart::Kind::Text, WithCrLf(ReceivedTextToSjis(bytes, ""))});
        return;
      }
      if (IsType(object, "multipart", "alternative")) {
        if (GMimeObject* chosen = Alternative(multipart)) Part(chosen, depth + 1);
        return;
      }
      for (int i = 0; i < g_mime_multipart_get_count(multipart); ++i)
        Part(g_mime_multipart_get_part(multipart, i), depth + 1);
      return;
    }
    if (std::optional<std::string> name = AttachmentName(object)) {
      mail_.parts.push_back({MailPart::Kind::Attachment, std::move(*name)});
    } else if (GMIME_IS_PART(object) && IsType(object, "text", "*") && budget_ > 0) {
      mail_.parts.push_back({MailPart::Kind::Text, Text(GMIME_PART(object))});
    }
  }

 private:
  // One of the alternatives: plain text, which is what the sender wrote,
  // before HTML, which is a rendering of it, before anything nested.
  static GMimeObject* Alternative(GMimeMultipart* multipart) {
    GMimeObject* chosen = nullptr;
    int best = -1;
    for (int i = 0; i < g_mime_multipart_get_count(multipart); ++i) {
      GMimeObject* part = g_mime_multipart_get_part(multipart, i);
      const int rank = IsType(part, "text", "plain")  ? 3
                       : IsType(part, "text", "html") ? 2
                       : GMIME_IS_MULTIPART(part)     ? 1
                                                      : 0;
      if (rank > best) chosen = part, best = rank;
    }
    return chosen;
  }

  ReceivedMail& mail_;
  std::size_t budget_ = kTextLimit;
};

// The messages this one answers: In-Reply-To first (the one it replies
// to), then References from the newest back, each once.
std::vector<std::string> ThreadIds(const std::optional<std::string>& inReplyTo,
                                   const std::optional<std::string>& references) {
  std::vector<std::string> ids = inReplyTo ? MessageIds(*inReplyTo) : std::vector<std::string>{};
  if (references) {
    const std::vector<std::string> older = MessageIds(*references);
    for (auto it = older.rbegin(); it != older.rend(); ++it)
      if (std::find(ids.begin(), ids.end(), *it) == ids.end()) ids.push_back(*it);
  }
  return ids;
}

}  // namespace

ReceivedMail ReadReceivedMail(std::string_view raw, bool withText) {
  ReceivedMail mail;
  const ParsedMessage message(raw);
  if (!message.get()) return mail;
  GMimeObject* headers = GMIME_OBJECT(message.get());

  if (auto from = RawField(headers, "From")) {
    mail.from = SenderAsShown(*from);
    mail.fromAddress = SenderAddress(*from);
  }
  if (auto id = RawField(headers, "Message-ID")) {
    const std::vector<std::string> ids = MessageIds(*id, 1);
    if (!ids.empty()) mail.messageId = ids[0];
  }
  mail.threadIds = ThreadIds(RawField(headers, "In-Reply-To"), RawField(headers, "References"));
  if (auto subject = RawField(headers, "Subject")) mail.subject = DecodeHeaderText(*subject);
  mail.date = DateOf(RawField(headers, "Date"));
  Reader reader(mail);
  if (GMimeObject* top = g_mime_message_get_mime_part(message.get()); top && withText) {
    if (GMIME_IS_PART(top) && IsType(top, "text", "*") && !Reader::AttachmentName(top)) {
      mail.body = reader.Text(GMIME_PART(top));
    } else {
      reader.Part(top, 0);
    }
  }
  // Only what could be a report is read a second time for one: a mailer
  // daemon's mail, or a report by its type.
  GMimeObject* top = g_mime_message_get_mime_part(message.get());
  const std::string from = LowerAscii(mail.from);
  if ((top && IsType(top, "multipart", "report")) || from.find("mailer-daemon") != std::string::npos ||
      from.find("postmaster") != std::string::npos || RawField(headers, "Auto-Submitted"))
    mail.report = ReadDeliveryReport(raw);
  mail.automatic =
      IsAutomaticReply({RawField(headers, "Auto-Submitted"), RawField(headers, "X-Autoreply"),
                        RawField(headers, "X-Autorespond"), RawField(headers, "Precedence"), mail.subject});
  return mail;
}

}  // namespace zentavo
