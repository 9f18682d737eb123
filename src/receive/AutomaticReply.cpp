// Automatic replies, told conservatively: a staff member's real reply taken
// for an automatic one would go unrecorded, which is worse than an
// out-of-office notice shown as a reply. So:
//   - the fields that responders set for exactly this are trusted:
//     Auto-Submitted other than "no", X-Autoreply, X-Autorespond, and
//     Precedence "auto_reply";
//   - Precedence "bulk", "junk" and "list" are not: they say that mail went
//     to many people, not that nobody wrote it; mailing lists and the
//     gateways some offices send all mail through set them on real replies,
//     and responders that set them set one of the fields above as well;
//   - X-Auto-Response-Suppress is no sign: one mail program puts it on every
//     message it sends;
//   - a subject counts only when it starts with what responders put in
//     front of the original subject ("Automatic reply:", "自動応答:") or
//     with a notice's own title ("不在のお知らせ"). A reply that merely
//     mentions an absence ("Re: MailNo1234_不在者の確認", "【不在】") is a
//     person's reply.
#include "receive/AutomaticReply.h"
#include "text/Ascii.h"

#include <algorithm>
#include <array>
#include <string_view>

#include "text/SjisUnicode.h"

namespace zentavo {

namespace {

// The first word of a field's value, lower case: "auto-replied" of
// "Auto-Replied; owner-email=...".
std::string Keyword(std::string_view value) {
  const std::size_t start = value.find_first_not_of(" \t\r\n");
  if (start == std::string_view::npos) return {};
  const std::size_t end = value.find_first_of(" \t\r\n;(", start);
  std::string word(value.substr(start, end == std::string_view::npos ? end : end - start));
  word = LowerAscii(word);
  return word;
}

bool Says(const std::optional<std::string>& field) {
  if (!field) return false;
  const std::string word = Keyword(*field);
  return !word.empty() && word != "no";
}

// The subject without leading blanks and opening brackets, ASCII in lower case.
std::string SubjectStart(std::string_view subject) {
  static const std::array<std::string, 7> kSkipped = {Sj("　"), Sj("【"), Sj("［"), Sj("（"),
                                                      Sj("＜"), Sj("《"), Sj("〔")};
  for (bool skipped = true; skipped;) {
    skipped = false;
    if (!subject.empty() && std::string_view(" \t[(<").find(subject.front()) != std::string_view::npos) {
      subject.remove_prefix(1);
      skipped = true;
    }
    for (const std::string& s : kSkipped) {
      if (subject.starts_with(s)) {
        subject.remove_prefix(s.size());
        skipped = true;
      }
    }
  }
  // LowerAscii-casing is safe byte by byte only up to the first two-byte character.
  std::string start(subject.substr(0, 32));
  for (char& c : start) {
    if (static_cast<unsigned char>(c) >= 0x80) break;
    c = LowerAscii(c);
  }
  return start;
}

bool SubjectSaysAutomatic(std::string_view subject) {
  static const std::array<std::string, 12> kPrefixes = {"automatic reply:",
                                                        "auto:",
                                                        "autoreply:",
                                                        "auto-reply:",
                                                        "auto reply:",
                                                        "out of office:",
                                                        "out of office autoreply:",
                                                        "out of office reply:",
                                                        Sj("自動応答"),
                                                        Sj("自動返信"),
                                                        Sj("不在通知"),
                                                        Sj("不在のお知らせ")};
  const std::string start = SubjectStart(subject);
  return std::any_of(kPrefixes.begin(), kPrefixes.end(), [&](const std::string& p) { return start.starts_with(p); });
}

}  // namespace

bool IsAutomaticReply(const ReplySigns& signs) {
  return Says(signs.autoSubmitted) || Says(signs.xAutoreply) || Says(signs.xAutorespond) ||
         (signs.precedence && Keyword(*signs.precedence) == "auto_reply") || SubjectSaysAutomatic(signs.subject);
}

}  // namespace zentavo
