// Plain bounces have no standard form; the wordings here are those of the
// servers that still send them (qmail, Exim, sendmail, and the ones that
// imitate them). Only ASCII is compared, byte by byte, so the text is read
// as it came, in whatever charset, and only the reasons are converted.
#include "receive/BounceText.h"
#include "text/Ascii.h"

#include <algorithm>
#include <array>
#include <string>

#include "receive/ReportFields.h"

namespace zentavo {

namespace {

// The failures come first, near the top of the text; a copy announced later
// than this is not looked for, and neither are failures after it.
constexpr std::size_t kMostNoticeLines = 2000;

// The lines that announce the copy of the message, as MarkerText reduces
// them: qmail, Exim (the whole message, or its headers only), sendmail and
// others.
constexpr std::array<std::string_view, 10> kCopyMarkers = {
    "below this line is a copy of the message",
    "this is a copy of the message, including all the headers",
    "this is a copy of the message's headers",
    "original message",
    "original message follows",
    "unsent message follows",
    "original message headers",
    "message header follows",
    "message headers follow",
    "the header of the original message is following",
};

// The headings over a list of failed addresses, in lower case. The lists
// of delayed addresses have headings of their own ("have not yet been
// delivered", "transient non-fatal errors"), which are not these.
constexpr std::array<std::string_view, 5> kListHeadings = {
    "following address(es) failed",
    "following addresses had permanent fatal errors",
    "following recipient(s) could not be reached",
    "delivery to the following recipient failed permanently",
    "delivery to the following recipients failed permanently",
};

// Markers are a few words: a longer line is none, and is not copied.
constexpr std::size_t kLongestMarker = 120;

// A line as compared with the markers: without the dashes, blanks and
// closing punctuation around it, in lower case.
std::string MarkerText(std::string_view line) {
  if (line.size() > kLongestMarker) return {};
  const std::size_t first = line.find_first_not_of(" \t-=*");
  if (first == std::string_view::npos) return {};
  return LowerAscii(line.substr(first, line.find_last_not_of(" \t-=*.:") + 1 - first));
}

bool IsCopyMarker(std::string_view line) {
  const std::string text = MarkerText(line);
  return std::find(kCopyMarkers.begin(), kCopyMarkers.end(), text) != kCopyMarkers.end();
}

bool IsListHeading(std::string_view line) {
  const std::string text = LowerAscii(line);
  return std::any_of(kListHeadings.begin(), kListHeadings.end(),
                     [&](std::string_view heading) { return text.find(heading) != std::string::npos; });
}

// One more line of a recipient's reason. Sendmail writes it as "(reason:
// ...)"; the lines that tell where the address came from are no reason.
void AppendReason(std::string& reason, std::string_view line) {
  line = TrimAscii(line);
  const std::string start = LowerAscii(line.substr(0, 16));
  if (start.starts_with("(expanded from") || start.starts_with("(generated from")) return;
  if (start.starts_with("(reason:")) {
    line = TrimAscii(line.substr(8));
    if (line.ends_with(')')) line.remove_suffix(1);
  }
  if (line.empty()) return;
  if (!reason.empty()) reason += ' ';
  reason += line;
}

// The address that a listed line starts with: "tanaka@example.jp",
// "<tanaka@example.jp>", "tanaka@example.jp:", "tanaka@example.jp on
// 2012/05/01 9:30".
std::string ListedAddress(std::string_view line) {
  std::string_view word = line.substr(0, line.find_first_of(" \t"));
  if (word.ends_with(':')) word.remove_suffix(1);
  return RecipientAddress(word);
}

// The list under a heading, from line `i`: an address to a line, all at the
// indent of the first, the reason below each indented further. Anything
// else ends it. Gives the line after the list.
std::size_t ReadList(const std::vector<std::string_view>& lines, std::size_t i, std::vector<FailedDelivery>& failed) {
  std::size_t addressIndent = std::string_view::npos;
  for (; i < lines.size(); ++i) {
    const std::size_t indent = lines[i].find_first_not_of(" \t");
    if (indent == std::string_view::npos) continue;
    const std::string_view text = lines[i].substr(indent);
    if (text.starts_with("--")) break;  // sendmail's next section
    if (addressIndent != std::string_view::npos && indent > addressIndent) {
      AppendReason(failed.back().reason, text);
      continue;
    }
    std::string address = ListedAddress(text);
    const bool outdented = addressIndent != std::string_view::npos && indent < addressIndent;
    if (address.empty() || outdented || failed.size() == kMostFailedDeliveries) break;
    addressIndent = indent;
    failed.push_back({std::move(address), "", ""});
  }
  return i;
}

std::vector<FailedDelivery> ListedFailures(const std::vector<std::string_view>& lines) {
  std::vector<FailedDelivery> failed;
  for (std::size_t i = 0; i < lines.size();) i = IsListHeading(lines[i]) ? ReadList(lines, i + 1, failed) : i + 1;
  return failed;
}

// qmail's "<tanaka@example.jp>:", alone on its line.
std::string QmailAddress(std::string_view line) {
  if (!line.starts_with('<')) return {};
  line = line.substr(0, line.find_last_not_of(" \t") + 1);
  return line.ends_with(">:") ? RecipientAddress(line.substr(0, line.size() - 1)) : std::string();
}

std::vector<FailedDelivery> QmailFailures(const std::vector<std::string_view>& lines) {
  std::vector<FailedDelivery> failed;
  bool inReason = false;
  for (const std::string_view line : lines) {
    if (std::string address = QmailAddress(line); !address.empty()) {
      if (failed.size() == kMostFailedDeliveries) break;
      failed.push_back({std::move(address), "", ""});
      inReason = true;
    } else if (TrimAscii(line).empty()) {
      inReason = false;
    } else if (inReason) {
      AppendReason(failed.back().reason, line);
    }
  }
  return failed;
}

}  // namespace

BounceText ReadBounceText(std::string_view text, std::string_view charset) {
  BounceText bounce;
  std::vector<std::string_view> lines;
  for (std::size_t pos = 0; pos < text.size() && lines.size() < kMostNoticeLines;) {
    const std::string_view line = NextLine(text, pos);
    if (IsCopyMarker(line)) {
      bounce.original = text.substr(pos);
      break;
    }
    lines.push_back(line);
  }
  bounce.failed = ListedFailures(lines);
  if (bounce.failed.empty()) bounce.failed = QmailFailures(lines);
  for (FailedDelivery& failed : bounce.failed) {
    failed.status = StatusIn(failed.reason);
    failed.reason = ReasonText(failed.reason, charset);
  }
  return bounce;
}

}  // namespace zentavo
