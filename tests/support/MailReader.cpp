#include "support/MailReader.h"

#include <gmime/gmime.h>

#include "text/SjisUnicode.h"

namespace zentavo::test {

ReaderView OpenWithGMime(const std::string& raw) {
  static const bool initialised = [] {
    g_mime_init();
    return true;
  }();
  (void)initialised;
  ReaderView view;
  GMimeStream* stream = g_mime_stream_mem_new_with_buffer(raw.data(), raw.size());
  GMimeParser* parser = g_mime_parser_new_with_stream(stream);
  GMimeMessage* message = g_mime_parser_construct_message(parser, nullptr);
  if (message) {
    view.parsed = true;
    const char* subject = g_mime_message_get_subject(message);
    view.subject = Utf8ToSjis(subject ? subject : "").text;
    const char* id = g_mime_message_get_message_id(message);
    view.messageId = id ? id : "";
    GMimeObject* part = g_mime_message_get_mime_part(message);
    if (part && GMIME_IS_TEXT_PART(part)) {
      char* text = g_mime_text_part_get_text(GMIME_TEXT_PART(part));
      view.body = Utf8ToSjis(text ? text : "").text;
      g_free(text);
      char* type = g_mime_content_type_get_mime_type(g_mime_object_get_content_type(part));
      view.contentType = type ? type : "";
      g_free(type);
    }
    InternetAddressList* bcc = g_mime_message_get_bcc(message);
    view.hasBcc = bcc && internet_address_list_length(bcc) > 0;
    g_object_unref(message);
  }
  g_object_unref(parser);
  g_object_unref(stream);
  return view;
}

}  // namespace zentavo::test
