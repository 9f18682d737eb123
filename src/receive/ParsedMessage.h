// GMime as reception uses it: a message parsed in place from the bytes a
// server delivered, and what the readers take from its parts (a field's raw
// text, a part's type, a part's content with its transfer encoding undone).
// The readers convert every text themselves (text/ReceivedCharset.h,
// text/HeaderText.h): GMime's own conversions go through glibc, which reads
// the NEC rows of ISO-2022-JP wrongly.
#pragma once

#include <gmime/gmime.h>

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace zentavo {

// One reference to a GObject, dropped at the end of the scope.
template <class T>
class Ref {
 public:
  explicit Ref(T* object) : object_(object) {}
  ~Ref() {
    if (object_) g_object_unref(object_);
  }
  Ref(const Ref&) = delete;
  Ref& operator=(const Ref&) = delete;
  T* get() const { return object_; }

 private:
  T* object_;
};

// A message parsed from bytes that the caller keeps alive and unchanged for
// as long as this lives. GMime reads them in place (no copy of the message)
// and keeps each part as a window onto them, so memory stays bounded
// whatever the message.
class ParsedMessage {
 public:
  explicit ParsedMessage(std::string_view raw);
  ParsedMessage(const ParsedMessage&) = delete;
  ParsedMessage& operator=(const ParsedMessage&) = delete;

  // Null when GMime found no message at all.
  GMimeMessage* get() const { return message_.get(); }

 private:
  GByteArray bytes_;  // points at the caller's bytes; the stream does not own it
  Ref<GMimeStream> stream_;
  Ref<GMimeParser> parser_;
  Ref<GMimeMessage> message_;
};

// The field's value as it stands in the message (folding included), nothing
// when the object has no such field.
std::optional<std::string> RawField(GMimeObject* object, const char* name);

// Whether the object's Content-Type is type/subtype ("*" for any subtype).
bool IsType(GMimeObject* object, const char* type, const char* subtype);

// At most `limit` bytes of the part's content, its transfer encoding undone.
std::string DecodedContent(GMimePart* part, std::size_t limit);

}  // namespace zentavo
