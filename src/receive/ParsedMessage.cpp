#include "receive/ParsedMessage.h"

#include <algorithm>
#include <climits>

namespace zentavo {

namespace {

GMimeStream* StreamOver(GByteArray* bytes) {
  [[maybe_unused]] static const bool initialised = (g_mime_init(), true);
  GMimeStream* stream = g_mime_stream_mem_new();
  g_mime_stream_mem_set_byte_array(GMIME_STREAM_MEM(stream), bytes);
  return stream;
}

}  // namespace

ParsedMessage::ParsedMessage(std::string_view raw)
    : bytes_{reinterpret_cast<guint8*>(const_cast<char*>(raw.data())),
             static_cast<guint>(std::min<std::size_t>(raw.size(), UINT_MAX))},
      stream_(StreamOver(&bytes_)),
      parser_(g_mime_parser_new_with_stream(stream_.get())),
      message_(g_mime_parser_construct_message(parser_.get(), nullptr)) {}

std::optional<std::string> RawField(GMimeObject* object, const char* name) {
  GMimeHeaderList* headers = g_mime_object_get_header_list(object);
  GMimeHeader* header = headers ? g_mime_header_list_get_header(headers, name) : nullptr;
  if (!header) return std::nullopt;
  const char* raw = g_mime_header_get_raw_value(header);
  return std::string(raw ? raw : "");
}

bool IsType(GMimeObject* object, const char* type, const char* subtype) {
  GMimeContentType* contentType = g_mime_object_get_content_type(object);
  return contentType && g_mime_content_type_is_type(contentType, type, subtype);
}

std::string DecodedContent(GMimePart* part, std::size_t limit) {
  GMimeDataWrapper* content = g_mime_part_get_content(part);
  GMimeStream* source = content ? g_mime_data_wrapper_get_stream(content) : nullptr;
  if (!source || limit == 0) return {};
  g_mime_stream_reset(source);
  Ref<GMimeStream> decoded(g_mime_stream_filter_new(source));
  const GMimeContentEncoding encoding = g_mime_data_wrapper_get_encoding(content);
  if (encoding == GMIME_CONTENT_ENCODING_BASE64 || encoding == GMIME_CONTENT_ENCODING_QUOTEDPRINTABLE ||
      encoding == GMIME_CONTENT_ENCODING_UUENCODE) {
    Ref<GMimeFilter> filter(g_mime_filter_basic_new(encoding, FALSE));
    g_mime_stream_filter_add(GMIME_STREAM_FILTER(decoded.get()), filter.get());
  }
  std::string bytes;
  char buffer[16384];
  while (bytes.size() < limit) {
    const ssize_t n = g_mime_stream_read(decoded.get(), buffer, std::min(sizeof buffer, limit - bytes.size()));
    if (n <= 0) break;
    bytes.append(buffer, static_cast<std::size_t>(n));
  }
  return bytes;
}

}  // namespace zentavo
