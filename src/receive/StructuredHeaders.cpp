// Sender and attachment names from raw header fields.
//
// Raw Shift_JIS in a header breaks RFC 5322's quoting: the second byte of
// 表 or ソ is a backslash. So a backslash escapes the next byte only where
// it follows a 7-bit byte; after a byte above 0x7F it is the end of a
// Shift_JIS character (UTF-8 has no backslash inside a character).
#include "receive/StructuredHeaders.h"
#include "text/Ascii.h"

#include <algorithm>
#include <cstdint>
#include <map>
#include <vector>

#include "base/MailAddress.h"
#include "text/HeaderText.h"
#include "text/ReceivedCharset.h"

namespace zentavo {

namespace {

bool IsEscapeAt(std::string_view s, std::size_t i) {
  return s[i] == '\\' && (i == 0 || static_cast<std::uint8_t>(s[i - 1]) < 0x80);
}

std::string Unfolded(std::string_view raw) {
  std::string s;
  s.reserve(raw.size());
  std::copy_if(raw.begin(), raw.end(), std::back_inserter(s), [](char c) { return c != '\r' && c != '\n'; });
  return s;
}

// Walks `s` and calls `at(i)` for every byte outside quoted strings and
// comments; the quotes themselves are not passed.
template <class At>
void Outside(std::string_view s, At at) {
  bool quoted = false;
  int comment = 0;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (IsEscapeAt(s, i) && (quoted || comment > 0)) {
      ++i;
    } else if (quoted) {
      quoted = s[i] != '"';
    } else if (s[i] == '(') {
      ++comment;
    } else if (comment > 0) {
      comment -= s[i] == ')';
    } else if (s[i] == '"') {
      quoted = true;
    } else {
      at(i);
    }
  }
}

// The text of quoted strings without their quotes and escapes.
std::string Unquoted(std::string_view s) {
  std::string out;
  bool quoted = false;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (quoted && IsEscapeAt(s, i) && i + 1 < s.size()) {
      out.push_back(s[++i]);
    } else if (s[i] == '"') {
      quoted = !quoted;
    } else {
      out.push_back(s[i]);
    }
  }
  return out;
}

// An address as written, 8-bit bytes read like any header text.
std::string AddressText(std::string_view address) {
  std::string text = ReceivedTextToSjis(TrimAscii(address), "");
  for (char& c : text)
    if (static_cast<std::uint8_t>(c) < 0x20) c = ' ';
  return text;
}

std::string MailboxAsShown(std::string_view mailbox) {
  std::size_t open = std::string_view::npos;
  std::size_t close = std::string_view::npos;
  Outside(mailbox, [&](std::size_t i) {
    if (mailbox[i] == '<')
      open = i, close = std::string_view::npos;
    else if (mailbox[i] == '>' && open != std::string_view::npos && close == std::string_view::npos)
      close = i;
  });
  if (open == std::string_view::npos) return DecodeHeaderText(TrimAscii(mailbox));
  const std::string address =
      AddressText(mailbox.substr(open + 1, close == std::string_view::npos ? close : close - open - 1));
  // A quoted name keeps its quotes: the reception run tells a sender whose
  // address a mail program split into a quoted name and "<@domain>" by them.
  const std::string name = DecodeHeaderText(TrimAscii(mailbox.substr(0, open)));
  const std::string_view shown = TrimAscii(name);
  return shown.empty() ? address : std::string(shown) + " <" + address + ">";
}

struct Parameter {
  std::string name;   // lower case
  std::string value;  // without quotes
};

std::vector<Parameter> Parameters(std::string_view field) {
  std::vector<std::size_t> semicolons;
  Outside(field, [&](std::size_t i) {
    if (field[i] == ';') semicolons.push_back(i);
  });
  semicolons.push_back(field.size());
  std::vector<Parameter> parameters;
  for (std::size_t k = 0; k + 1 < semicolons.size(); ++k) {
    const std::string_view item = field.substr(semicolons[k] + 1, semicolons[k + 1] - semicolons[k] - 1);
    const std::size_t equals = item.find('=');
    if (equals == std::string_view::npos) continue;
    Parameter p{std::string(TrimAscii(item.substr(0, equals))), Unquoted(TrimAscii(item.substr(equals + 1)))};
    p.name = LowerAscii(p.name);
    parameters.push_back(std::move(p));
  }
  return parameters;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  c = LowerAscii(c);
  return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

std::string PercentDecoded(std::string_view s) {
  std::string out;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '%' && i + 2 < s.size() && HexValue(s[i + 1]) >= 0 && HexValue(s[i + 2]) >= 0) {
      out.push_back(static_cast<char>(HexValue(s[i + 1]) * 16 + HexValue(s[i + 2])));
      i += 2;
    } else {
      out.push_back(s[i]);
    }
  }
  return out;
}

// RFC 2231: "name*" whole, or "name*0", "name*1"... in sections, each with a
// trailing "*" when it is %-encoded; the first encoded one starts with
// "charset'language'".
std::optional<std::string> ExtendedValue(const std::vector<Parameter>& parameters, const std::string& name) {
  std::map<int, const Parameter*> sections;
  for (const Parameter& p : parameters) {
    if (!p.name.starts_with(name + "*")) continue;
    const std::string_view rest = std::string_view(p.name).substr(name.size() + 1);
    const std::string_view digits = rest.substr(0, rest.find('*'));
    if (rest.empty()) {
      sections.emplace(0, &p);
    } else if (!digits.empty() && digits.size() <= 4 &&
               std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
      sections.emplace(std::stoi(std::string(digits)), &p);
    }
  }
  if (sections.empty()) return std::nullopt;
  std::string charset;
  std::string bytes;
  for (const auto& [number, p] : sections) {
    if (!p->name.ends_with("*")) {
      bytes += p->value;
      continue;
    }
    std::string_view value = p->value;
    if (number == sections.begin()->first) {
      const std::size_t quote1 = value.find('\'');
      const std::size_t quote2 = quote1 == std::string_view::npos ? quote1 : value.find('\'', quote1 + 1);
      if (quote2 != std::string_view::npos) {
        charset = value.substr(0, quote1);
        value.remove_prefix(quote2 + 1);
      }
    }
    bytes += PercentDecoded(value);
  }
  std::string text = ReceivedTextToSjis(bytes, charset);
  for (char& c : text)
    if (static_cast<std::uint8_t>(c) < 0x20) c = ' ';
  return text;
}

}  // namespace

std::string SenderAsShown(std::string_view rawFrom) {
  const std::string field = Unfolded(rawFrom);
  const std::string_view s = field;
  std::vector<std::string_view> mailboxes;
  std::size_t start = 0;
  bool inAngle = false;
  Outside(s, [&](std::size_t i) {
    if (s[i] == '<') inAngle = true;
    if (s[i] == '>') inAngle = false;
    if (s[i] == ',' && !inAngle) {
      mailboxes.push_back(s.substr(start, i - start));
      start = i + 1;
    }
  });
  mailboxes.push_back(s.substr(start));
  std::string shown;
  for (std::string_view m : mailboxes) {
    if (TrimAscii(m).empty()) continue;
    if (!shown.empty()) shown += ", ";
    shown += MailboxAsShown(m);
  }
  return shown;
}

std::string SenderAddress(std::string_view rawFrom) {
  const std::string field = Unfolded(rawFrom);
  const std::string_view s = field;
  std::size_t open = std::string_view::npos, close = std::string_view::npos, end = s.size();
  Outside(s, [&](std::size_t i) {
    if (end != s.size()) return;
    if (s[i] == '<' && open == std::string_view::npos)
      open = i;
    else if (s[i] == '>' && open != std::string_view::npos && close == std::string_view::npos)
      close = i;
    else if (s[i] == ',' && (open == std::string_view::npos || close != std::string_view::npos))
      end = i;
  });
  if (open != std::string_view::npos && open < end)
    return NormalAddress(s.substr(open + 1, (close == std::string_view::npos ? end : close) - open - 1));
  const std::string address = NormalAddress(s.substr(0, end));
  // A group ("name: a@x;") or a name without an address is no sender.
  return address.find('@') == std::string::npos || address.find(':') != std::string::npos ? std::string() : address;
}

std::vector<std::string> MessageIds(std::string_view rawField, std::size_t limit) {
  std::vector<std::string> ids;
  std::string current;
  bool inside = false;
  Outside(rawField, [&](std::size_t i) {
    const char c = rawField[i];
    if (c == '<') {
      inside = true;
      current = "<";
    } else if (c == '>' && inside) {
      inside = false;
      if (current.size() > 1 && ids.size() < limit) ids.push_back(current + ">");
    } else if (inside && static_cast<std::uint8_t>(c) > ' ' && current.size() < 998) {
      current.push_back(c);
    }
  });
  return ids;
}

std::optional<std::string> FileNameParameter(std::string_view rawField, std::string_view parameter) {
  std::string name(parameter);
  name = LowerAscii(name);
  const std::vector<Parameter> parameters = Parameters(Unfolded(rawField));
  if (std::optional<std::string> extended = ExtendedValue(parameters, name)) return extended;
  for (const Parameter& p : parameters)
    if (p.name == name) return DecodeHeaderText(p.value);
  return std::nullopt;
}

}  // namespace zentavo
