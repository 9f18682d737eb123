// HTML to text in one pass over the bytes. No trail byte of Shift_JIS lies
// below 0x40, so "<", ">", "&", ";" and white space are always characters
// of their own, and the walk never needs to know where a character starts.
//
// Every search that can fail (a ">" that never comes, an end of comment or
// of a script that is missing) is made at most once: after a failure, what
// follows is read as text. A damaged body costs linear time, not quadratic.
#include "text/HtmlToText.h"
#include "text/Ascii.h"

#include <algorithm>
#include <cstdint>
#include <optional>

#include "text/ReceivedCharset.h"

namespace zentavo {

namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f'; }
bool IsAlnum(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); }
template <std::size_t N>
bool OneOf(std::string_view name, const std::string_view (&names)[N]) {
  return std::find(std::begin(names), std::end(names), name) != std::end(names);
}

constexpr std::string_view kBlocks[] = {"p",    "div",     "tr",         "li",     "ul",     "ol",      "dl",
                                        "dt",   "dd",      "h1",         "h2",     "h3",     "h4",      "h5",
                                        "h6",   "table",   "blockquote", "pre",    "hr",     "address", "center",
                                        "form", "section", "article",    "header", "footer", "body",    "caption"};
constexpr std::string_view kCells[] = {"td", "th"};
constexpr std::string_view kHidden[] = {"script", "style", "title"};

struct NamedReference {
  std::string_view name;
  char32_t code;
};
constexpr NamedReference kNamed[] = {
    {"amp", '&'},       {"lt", '<'},       {"gt", '>'},       {"quot", '"'},     {"apos", '\''},    {"nbsp", 0xA0},
    {"yen", 0xA5},      {"copy", 0xA9},    {"reg", 0xAE},     {"deg", 0xB0},     {"plusmn", 0xB1},  {"times", 0xD7},
    {"divide", 0xF7},   {"sect", 0xA7},    {"middot", 0xB7},  {"laquo", 0xAB},   {"raquo", 0xBB},   {"ndash", 0x2013},
    {"mdash", 0x2014},  {"lsquo", 0x2018}, {"rsquo", 0x2019}, {"ldquo", 0x201C}, {"rdquo", 0x201D}, {"bull", 0x2022},
    {"hellip", 0x2026}, {"larr", 0x2190},  {"uarr", 0x2191},  {"rarr", 0x2192},  {"darr", 0x2193},
};

std::string Utf8(char32_t c) {
  std::string s;
  if (c < 0x80) {
    s.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    s = {static_cast<char>(0xC0 | c >> 6), static_cast<char>(0x80 | (c & 0x3F))};
  } else if (c < 0x10000) {
    s = {static_cast<char>(0xE0 | c >> 12), static_cast<char>(0x80 | (c >> 6 & 0x3F)),
         static_cast<char>(0x80 | (c & 0x3F))};
  } else {
    s = {static_cast<char>(0xF0 | c >> 18), static_cast<char>(0x80 | (c >> 12 & 0x3F)),
         static_cast<char>(0x80 | (c >> 6 & 0x3F)), static_cast<char>(0x80 | (c & 0x3F))};
  }
  return s;
}

struct Reference {
  char32_t code;
  std::size_t length;  // from the "&" through the ";"
};

// The character reference at `at` ("&"), if it is one.
std::optional<Reference> ReferenceAt(std::string_view s, std::size_t at) {
  std::size_t i = at + 1;
  if (i < s.size() && s[i] == '#') {
    const bool hex = i + 1 < s.size() && (s[i + 1] == 'x' || s[i + 1] == 'X');
    i += hex ? 2 : 1;
    const std::size_t digits = i;
    std::uint32_t code = 0;
    for (; i < s.size() && i - digits < 8; ++i) {
      const char c = LowerAscii(s[i]);
      const int v = c >= '0' && c <= '9' ? c - '0' : hex && c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
      if (v < 0) break;
      code = code * (hex ? 16 : 10) + static_cast<std::uint32_t>(v);
    }
    if (i == digits) return std::nullopt;
    if (i < s.size() && s[i] == ';') ++i;  // often left out after digits
    const bool valid = code > 0 && code <= 0x10FFFF && !(code >= 0xD800 && code <= 0xDFFF);
    return Reference{valid ? code : 0xFFFD, i - at};
  }
  while (i < s.size() && i - at <= 8 && IsAlnum(s[i])) ++i;
  if (i >= s.size() || s[i] != ';') return std::nullopt;
  const std::string_view name = s.substr(at + 1, i - at - 1);
  for (const NamedReference& r : kNamed)
    if (r.name == name) return Reference{r.code, i + 1 - at};
  return std::nullopt;
}

bool IsLeadByte(char c) {
  const auto b = static_cast<std::uint8_t>(c);
  return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

class TextWriter {
 public:
  // One character (or what a reference stands for).
  void Text(std::string_view t) {
    // White space with a line break in it between two two-byte characters
    // goes altogether, as CSS renders it: Japanese text that the sender's
    // program wrapped in the source reads on without a gap.
    if (gap_ == Gap::Blank || (gap_ == Gap::LineBreak && !(lastWide_ && IsLeadByte(t.front())))) out_.push_back(' ');
    gap_ = Gap::None;
    out_ += t;
    lastWide_ = t.size() == 2 && IsLeadByte(t.front());
  }
  // White space collapses into one blank, none at the start of a line.
  void Space(bool lineBreak) {
    if (out_.empty() || out_.back() == '\n') return;
    gap_ = std::max(gap_, lineBreak ? Gap::LineBreak : Gap::Blank);
  }
  void LineBreak() {
    Trim();
    out_.push_back('\n');
  }
  // A block starts or ends: a new line, unless one has just begun.
  void BlockEdge() {
    Trim();
    if (!out_.empty() && out_.back() != '\n') out_.push_back('\n');
  }
  std::string Take() {
    Trim();
    while (!out_.empty() && out_.back() == '\n') out_.pop_back();
    std::string crlf;
    crlf.reserve(out_.size() + out_.size() / 16);
    for (char c : out_) {
      if (c == '\n') crlf.push_back('\r');
      crlf.push_back(c);
    }
    return crlf;
  }

 private:
  enum class Gap { None, Blank, LineBreak };
  void Trim() {
    gap_ = Gap::None;
    while (!out_.empty() && out_.back() == ' ') out_.pop_back();
  }
  std::string out_;
  Gap gap_ = Gap::None;
  bool lastWide_ = false;
};

}  // namespace

std::string HtmlToText(std::string_view html) {
  const std::string lower = LowerAscii(html);
  TextWriter out;
  int pre = 0;                             // depth of <pre>
  bool tagsEnd = false;                    // no ">" after here: the rest is text
  bool commentsEnd = false;                // no "-->" after here
  bool unclosed[std::size(kHidden)] = {};  // hidden elements whose end tag is missing
  for (std::size_t i = 0; i < html.size();) {
    const char c = html[i];
    if (c == '&') {
      if (const std::optional<Reference> r = ReferenceAt(html, i)) {
        const std::string text = r->code == 0xA0 ? " " : ReceivedTextToSjis(Utf8(r->code), "utf-8");
        if (!text.empty()) out.Text(text);
        i += r->length;
        continue;
      }
    }
    const bool tagStart = c == '<' && !tagsEnd && i + 1 < html.size() &&
                          (IsAlnum(html[i + 1]) || html[i + 1] == '/' || html[i + 1] == '!' || html[i + 1] == '?');
    if (!tagStart) {
      const std::size_t n = IsLeadByte(c) && i + 1 < html.size() ? 2 : 1;
      if (!IsSpace(c))
        out.Text(html.substr(i, n));
      else if (!pre)
        out.Space(c == '\n' || c == '\r');
      else if (c == '\n')
        out.LineBreak();
      else if (c != '\r')
        out.Text(html.substr(i, 1));
      i += n;
      continue;
    }
    if (!commentsEnd && html.substr(i, 4) == "<!--") {
      const std::size_t end = html.find("-->", i + 4);
      if (end != std::string_view::npos) {
        i = end + 3;
        continue;
      }
      commentsEnd = true;  // read as a declaration: up to its ">"
    }
    const std::size_t close = html.find('>', i);
    if (close == std::string_view::npos) {
      tagsEnd = true;
      continue;
    }
    const bool ending = html[i + 1] == '/';
    std::size_t nameEnd = i + (ending ? 2 : 1);
    while (nameEnd < close && IsAlnum(html[nameEnd])) ++nameEnd;
    const std::string_view name = std::string_view(lower).substr(i + (ending ? 2 : 1), nameEnd - i - (ending ? 2 : 1));
    i = close + 1;
    if (name == "br") {
      out.LineBreak();
    } else if (OneOf(name, kBlocks)) {
      out.BlockEdge();
      if (name == "pre") pre = std::max(0, pre + (ending ? -1 : 1));
    } else if (OneOf(name, kCells)) {
      out.Space(false);
    } else if (const auto* h = std::find(std::begin(kHidden), std::end(kHidden), name);
               !ending && h != std::end(kHidden) && !unclosed[h - kHidden]) {
      const std::size_t end = lower.find("</" + std::string(name), i);
      if (end == std::string::npos)
        unclosed[h - kHidden] = true;
      else
        i = end;
    }
  }
  return out.Take();
}

}  // namespace zentavo
