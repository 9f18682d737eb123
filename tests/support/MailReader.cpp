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

namespace zentavo::test {

RawReaderView OpenRawWithGMime(const std::string& raw) {
  static const bool initialised = [] {
    g_mime_init();
    return true;
  }();
  (void)initialised;
  RawReaderView view;
  GMimeStream* stream = g_mime_stream_mem_new_with_buffer(raw.data(), raw.size());
  GMimeParser* parser = g_mime_parser_new_with_stream(stream);
  GMimeMessage* message = g_mime_parser_construct_message(parser, nullptr);
  if (message) {
    GMimeHeader* subject =
        g_mime_header_list_get_header(g_mime_object_get_header_list(GMIME_OBJECT(message)), "Subject");
    const std::string words = subject ? g_mime_header_get_raw_value(subject) : "";
    for (size_t at = words.find("?B?"); at != std::string::npos; at = words.find("?B?", at)) {
      const size_t end = words.find("?=", at + 3);
      const std::string text = words.substr(at + 3, end - at - 3);
      gsize length = 0;
      guchar* bytes = g_base64_decode(text.c_str(), &length);
      view.subjectBytes.append(reinterpret_cast<char*>(bytes), length);
      g_free(bytes);
      at = end;
    }
    GMimeObject* part = g_mime_message_get_mime_part(message);
    if (part && GMIME_IS_PART(part)) {
      GMimeStream* content = g_mime_stream_mem_new();
      g_mime_data_wrapper_write_to_stream(g_mime_part_get_content(GMIME_PART(part)), content);
      GByteArray* array = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(content));
      view.bodyBytes.assign(reinterpret_cast<char*>(array->data), array->len);
      g_object_unref(content);
    }
    char* to = internet_address_list_to_string(g_mime_message_get_to(message), nullptr, FALSE);
    view.to = to ? to : "";
    g_free(to);
    g_object_unref(message);
  }
  g_object_unref(parser);
  g_object_unref(stream);
  return view;
}

}  // namespace zentavo::test
