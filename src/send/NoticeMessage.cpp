#include "send/NoticeMessage.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <random>

#include "base/Base64.h"
#include "send/SplitSend.h"
#include "store/TextFile.h"
#include "text/SjisToMailJis.h"
#include "text/SjisUnicode.h"

namespace zentavo {

namespace {

// ---- Subject header -------------------------------------------------------

constexpr std::string_view kWordStart = "=?ISO-2022-JP?B?";
constexpr std::string_view kWordEnd = "?=";
constexpr std::string_view kToKanji = "\x1b$B";
// Every word and every body line returns to ASCII proper (RFC 1468).
constexpr std::string_view kToAscii = "\x1b(B";
constexpr size_t kMaxLine = 78;
constexpr size_t kMaxWord = 75;
constexpr std::string_view kSubjectName = "Subject: ";
constexpr std::string_view kFold = "\r\n ";

size_t EncodedWordLength(size_t bytes) { return kWordStart.size() + (bytes + 2) / 3 * 4 + kWordEnd.size(); }

// One character of the subject in JIS: ASCII as it is, anything else as its
// JIS X 0208 pair without escapes, by the same rules as the body. A
// half-width katakana takes a following sound mark along (the two become one
// full-width character, so they must not land in different words).
struct JisCharacter {
  std::string bytes;
  bool ascii;
};

std::vector<JisCharacter> JisCharacters(std::string_view s) {
  std::vector<JisCharacter> chars;
  size_t i = 0;
  while (i < s.size()) {
    const MailJisCharacter m = MailJisCharacterAt(s, i);
    chars.push_back({std::string(m.bytes.data(), m.ascii ? 1 : 2), m.ascii});
    i += m.length;
  }
  return chars;
}

// The JIS bytes of characters [from, to): starting in ASCII, ending in
// ASCII.
std::string WordBytes(const std::vector<JisCharacter>& chars, size_t from, size_t to) {
  std::string out;
  bool kanji = false;
  for (size_t k = from; k < to; ++k) {
    if (chars[k].ascii == kanji) {
      out += kanji ? kToAscii : kToKanji;
      kanji = !kanji;
    }
    out += chars[k].bytes;
  }
  if (kanji) out += kToAscii;
  return out;
}

// Splits the subject into JIS byte strings, each of which starts and ends in
// ASCII and fits one encoded word; the first word shares its line with
// "Subject: ".
//
// Every word but the last is cut where its bytes are a multiple of three, so
// that its Base64 text needs no "=" padding: some decoders (GMime among them)
// run the Base64 of adjacent words of one charset together and stop at the
// first padding, losing the rest of the subject. Only a text that offers no
// such cut within a word's reach (strictly alternating one- and two-byte
// characters) falls back to the longest word that fits.
std::vector<std::string> SubjectWords(std::string_view sjis) {
  const std::vector<JisCharacter> chars = JisCharacters(sjis);
  size_t leadingAscii = 0;
  while (leadingAscii < chars.size() && chars[leadingAscii].ascii) ++leadingAscii;

  std::vector<std::string> words;
  size_t i = 0;
  do {
    const size_t limit = words.empty() ? kMaxLine - kSubjectName.size() : kMaxWord;
    size_t bytes = 0;
    bool kanji = false;
    size_t longest = i;
    size_t unpadded = i;
    for (size_t j = i; j < chars.size(); ++j) {
      if (chars[j].ascii == kanji) {
        bytes += kToAscii.size();
        kanji = !kanji;
      }
      bytes += chars[j].bytes.size();
      const size_t closed = bytes + (kanji ? kToAscii.size() : 0);
      if (EncodedWordLength(closed) > limit) break;
      longest = j + 1;
      if (closed % 3 == 0 || j + 1 == chars.size()) unpadded = j + 1;
    }
    // The first word keeps the identifier and the MailNo (the leading ASCII
    // run) together whatever the padding.
    const size_t minimum = words.empty() ? std::min(longest, leadingAscii) : i + 1;
    const size_t end = unpadded > i && unpadded >= minimum ? unpadded : longest;
    words.push_back(WordBytes(chars, i, end));
    i = end;
  } while (i < chars.size());
  return words;
}

// A subject that can go as plain text and come back exactly: printable
// ASCII with single blanks between words, nothing that a decoder could take
// for an encoded word, and no word too long for a line.
bool FoldPlain(std::string_view s, std::string& out) {
  if (s.empty() || s.front() == ' ' || s.back() == ' ') return false;
  if (s.find("=?") != std::string_view::npos || s.find("?=") != std::string_view::npos) return false;
  for (size_t i = 0; i < s.size(); ++i) {
    const char c = s[i];
    if (c == ' ') {
      if (s[i + 1] == ' ') return false;
    } else if (c < 0x21 || c > 0x7E) {
      return false;
    }
  }
  out.clear();
  size_t lineLength = kSubjectName.size();
  size_t start = 0;
  while (start <= s.size()) {
    size_t end = s.find(' ', start);
    if (end == std::string_view::npos) end = s.size();
    const std::string_view word = s.substr(start, end - start);
    if (start == 0) {
      if (lineLength + word.size() > kMaxLine) return false;
      out += word;
      lineLength += word.size();
    } else if (lineLength + 1 + word.size() <= kMaxLine) {
      out += ' ';
      out += word;
      lineLength += 1 + word.size();
    } else {
      // Folding before the blank keeps it: unfolding removes only CR LF.
      if (1 + word.size() > kMaxLine) return false;
      out += kFold;
      out += word;
      lineLength = 1 + word.size();
    }
    start = end + 1;
  }
  return true;
}

// A mail line may hold at most 998 bytes; a longer one (a paragraph typed
// without a line break) would be cut by some relay, possibly inside a kanji
// run, which garbles the rest of the line. So a long line is broken at a
// character boundary, closing the kanji run before the break and opening it
// again after, so every piece stands on its own.
constexpr size_t kMaxBodyLine = 998;

std::vector<std::string> WrapJisLine(const std::string& line) {
  if (line.size() <= kMaxBodyLine) return {line};
  std::vector<std::string> pieces;
  std::string piece;
  bool kanji = false;
  size_t i = 0;
  while (i < line.size()) {
    size_t n = 1;
    bool switches = false;
    if (line[i] == '\x1b') {
      n = std::min<size_t>(3, line.size() - i);
      switches = true;
    } else if (kanji) {
      n = std::min<size_t>(2, line.size() - i);
    }
    const size_t closing = kanji && !switches ? kToAscii.size() : 0;
    if (!piece.empty() && piece.size() + n + closing > kMaxBodyLine) {
      if (kanji) piece += kToAscii;
      pieces.push_back(std::move(piece));
      piece = kanji ? std::string(kToKanji) : std::string();
    }
    const std::string_view unit(line.data() + i, n);
    if (switches && n == 3) {
      if (unit[1] == '$') kanji = true;
      if (unit[1] == '(') kanji = false;
    }
    piece += unit;
    i += n;
  }
  if (!piece.empty()) pieces.push_back(std::move(piece));
  return pieces;
}

// ---- Message-ID -------------------------------------------------------------

bool IsDomainCharacter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_';
}

// `text` cut down to what the right side of a message id may hold: labels of
// letters, digits, "-" and "_" joined by single dots.
std::string DomainPart(std::string_view text) {
  std::string out;
  bool dot = false;
  for (char c : text) {
    if (c == '.') {
      dot = !out.empty();
    } else if (IsDomainCharacter(c)) {
      if (dot) out += '.';
      dot = false;
      out += c;
    }
  }
  return out;
}

// The sender's domain (after the last "@"), or the machine's name when the
// address has none: servers and spam filters judge a message id by its
// domain, and only a name of our own keeps ids of different senders apart.
std::string MessageIdDomain(std::string_view sender) {
  const size_t at = sender.rfind('@');
  std::string domain = at == std::string_view::npos ? "" : DomainPart(sender.substr(at + 1));
  if (domain.empty()) {
    char host[256] = {};
    if (gethostname(host, sizeof host - 1) == 0) domain = DomainPart(host);
  }
  return domain.empty() ? "localhost" : domain;
}

}  // namespace

std::string NewMessageId(std::string_view sender) {
  static std::atomic<unsigned> count{0};
  const auto micros =
      std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::system_clock::now().time_since_epoch())
          .count();
  std::random_device random;
  const unsigned long long bits = (static_cast<unsigned long long>(random()) << 32) ^ random();
  char local[64];
  std::snprintf(local, sizeof local, "%lld.%u.%016llx", static_cast<long long>(micros), ++count, bits);
  return "<" + std::string(local) + "@" + MessageIdDomain(sender) + ">";
}

namespace {

std::string JoinAddresses(const std::vector<std::string>& addresses) {
  std::string out;
  for (const auto& a : addresses) {
    const std::string clean = WithoutLineBreaks(a);
    if (clean.empty()) continue;
    if (!out.empty()) out += ", ";
    out += clean;
  }
  return out;
}

}  // namespace

NoticeMessage BuildNoticeMessage(const Settings& settings, const SendPage& page, std::string_view mailNo) {
  NoticeMessage m;
  // The sender's name stays out of From: the address alone is what staff
  // reply to and what their mail programs show.
  m.from = settings.senderAddress;
  m.subject = NoticeSubject(settings.identifier, mailNo, page.subject);
  return m;
}

std::vector<std::string> ComposeNoticeBody(const SendPage& page, const Grid& recipients, std::string_view groupName,
                                           const LocalDateTime& now) {
  std::vector<std::string> lines = page.body;
  lines.emplace_back(" ");
  lines.push_back("SEND:" + FormatDisplayTime(now));
  lines.emplace_back(" ");
  if (page.appendNames) {
    lines.push_back(Sj("≪本メールの同報伝達者≫"));
    for (int r = 1; r < recipients.RowCount(); ++r) {
      const std::string& name = RecipientCell(recipients, 0, r);
      if (!name.empty()) lines.push_back(name);
    }
  }
  if (page.appendGroup) {
    lines.push_back(Sj("≪本メールの伝達グループ名≫"));
    lines.push_back(groupName.empty() ? Sj("個別伝達") : std::string(groupName));
  }
  return lines;
}

std::vector<std::string> ConvertBodyToJis(const std::vector<std::string>& lines) {
  std::string text;
  for (const auto& line : lines) {
    text += line;
    text += "\r\n";
  }
  // Everything we hold is Shift_JIS, so there is nothing to detect: a guess
  // could take a body that opens with an IBM extension kanji for EUC-JP and
  // garble it whole.
  std::vector<std::string> out;
  for (const auto& line : SplitLines(SjisToMailJis(text))) {
    for (auto& piece : WrapJisLine(line)) out.push_back(std::move(piece));
  }
  return out;
}

std::string WithoutLineBreaks(std::string_view text) {
  // Stripped rather than replaced: a line break has no place in a subject or
  // an address, and dropping it cannot join the text to a header line of
  // its own.
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    if (c != '\r' && c != '\n') out.push_back(c);
  }
  return out;
}

std::string EncodeSubjectHeader(std::string_view sjisSubject) {
  const std::string subject = WithoutLineBreaks(sjisSubject);
  if (subject.empty()) return subject;
  std::string plain;
  if (FoldPlain(subject, plain)) return plain;
  std::string out;
  for (const std::string& word : SubjectWords(subject)) {
    if (!out.empty()) out += kFold;  // the blank at a fold between words is not part of the text
    out += kWordStart;
    out += EncodeBase64(word);
    out += kWordEnd;
  }
  return out;
}

std::string RenderNoticeMessage(const NoticeMessage& message, const LocalDateTime& date) {
  std::string out;
  out += "From: " + WithoutLineBreaks(message.from) + "\r\n";
  // With every recipient a blind copy, an empty group stands in To: servers
  // and filters distrust a message without one, and it names nobody.
  const std::string to = JoinAddresses(message.to);
  out += "To: " + (to.empty() ? std::string("undisclosed-recipients:;") : to) + "\r\n";
  out += std::string(kSubjectName) + EncodeSubjectHeader(message.subject) + "\r\n";
  out += "Date: " + FormatMailDate(date) + "\r\n";
  const std::string id = WithoutLineBreaks(message.messageId);
  out += "Message-ID: " + (id.empty() ? NewMessageId(WithoutLineBreaks(message.from)) : id) + "\r\n";
  out += "MIME-Version: 1.0\r\n";
  out += "Content-Type: text/plain; charset=ISO-2022-JP\r\n";
  out += "Content-Transfer-Encoding: 7bit\r\n";
  out += "\r\n";
  for (const auto& line : message.body) {
    // A CR or LF inside a line ends that line: a bare one must never reach
    // the SMTP data stream.
    size_t start = 0;
    while (true) {
      const size_t brk = line.find_first_of("\r\n", start);
      if (brk == std::string::npos) {
        out.append(line, start, std::string::npos);
        out += "\r\n";
        break;
      }
      out.append(line, start, brk - start);
      out += "\r\n";
      start = brk + ((line[brk] == '\r' && brk + 1 < line.size() && line[brk + 1] == '\n') ? 2 : 1);
    }
  }
  return out;
}

SmtpEnvelope NoticeEnvelope(const NoticeMessage& message) {
  SmtpEnvelope e;
  e.from = WithoutLineBreaks(message.from);
  for (const auto* list : {&message.to, &message.bcc}) {
    for (const auto& a : *list) {
      std::string clean = WithoutLineBreaks(a);
      if (!clean.empty()) e.recipients.push_back(std::move(clean));
    }
  }
  return e;
}

}  // namespace zentavo
