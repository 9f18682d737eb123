#include "support/MailReader.h"

#include <gmime/gmime.h>

#include "text/SjisUnicode.h"

namespace zentavo::test {
namespace {

// Parses `raw` as GMime does and hands the message to `read`, if there is one.
template <class Read>
void Parse(const std::string& raw, Read read) {
  [[maybe_unused]] static const bool initialised = (g_mime_init(), true);
  GMimeStream* stream = g_mime_stream_mem_new_with_buffer(raw.data(), raw.size());
  GMimeParser* parser = g_mime_parser_new_with_stream(stream);
  if (GMimeMessage* message = g_mime_parser_construct_message(parser, nullptr)) {
    read(message);
    g_object_unref(message);
  }
  g_object_unref(parser);
  g_object_unref(stream);
}

// GMime's string, or "" for none; an owned one is freed.
std::string Text(const char* text) { return text ? text : ""; }
std::string Take(char* text) {
  std::string s = Text(text);
  g_free(text);
  return s;
}

}  // namespace

ReaderView OpenWithGMime(const std::string& raw) {
  ReaderView view;
  Parse(raw, [&](GMimeMessage* message) {
    view.parsed = true;
    view.subject = Utf8ToSjis(Text(g_mime_message_get_subject(message))).text;
    view.messageId = Text(g_mime_message_get_message_id(message));
    if (GMimeObject* part = g_mime_message_get_mime_part(message); part && GMIME_IS_TEXT_PART(part)) {
      view.body = Utf8ToSjis(Take(g_mime_text_part_get_text(GMIME_TEXT_PART(part)))).text;
      view.contentType = Take(g_mime_content_type_get_mime_type(g_mime_object_get_content_type(part)));
    }
    InternetAddressList* bcc = g_mime_message_get_bcc(message);
    view.hasBcc = bcc && internet_address_list_length(bcc) > 0;
  });
  return view;
}

RawReaderView OpenRawWithGMime(const std::string& raw) {
  RawReaderView view;
  Parse(raw, [&](GMimeMessage* message) {
    GMimeHeader* subject =
        g_mime_header_list_get_header(g_mime_object_get_header_list(GMIME_OBJECT(message)), "Subject");
    const std::string words = subject ? g_mime_header_get_raw_value(subject) : "";
    for (size_t at = words.find("?B?"); at != std::string::npos; at = words.find("?B?", at)) {
      const size_t end = words.find("?=", at + 3);
      gsize length = 0;
      guchar* bytes = g_base64_decode(words.substr(at + 3, end - at - 3).c_str(), &length);
      view.subjectBytes.append(reinterpret_cast<char*>(bytes), length);
      g_free(bytes);
      at = end;
    }
    if (GMimeObject* part = g_mime_message_get_mime_part(message); part && GMIME_IS_PART(part)) {
      GMimeStream* content = g_mime_stream_mem_new();
      g_mime_data_wrapper_write_to_stream(g_mime_part_get_content(GMIME_PART(part)), content);
      GByteArray* array = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(content));
      view.bodyBytes.assign(reinterpret_cast<char*>(array->data), array->len);
      g_object_unref(content);
    }
    view.to = Take(internet_address_list_to_string(g_mime_message_get_to(message), nullptr, FALSE));
  });
  return view;
}

}  // namespace zentavo::test
