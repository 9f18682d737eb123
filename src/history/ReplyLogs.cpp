#include "history/ReplyLogs.h"

#include <algorithm>
#include <atomic>
#include <thread>

#include "history/TransmissionLogs.h"
#include "store/TextFile.h"
#include "text/SjisUnicode.h"

namespace zentavo {
namespace fs = std::filesystem;

bool LessIgnoringCase(std::string_view a, std::string_view b) {
  auto fold = [](char c) {
    const auto u = static_cast<unsigned char>(c);
    return u >= 'a' && u <= 'z' ? static_cast<unsigned char>(u - 'a' + 'A') : u;
  };
  const bool less = std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                                 [&](char x, char y) { return fold(x) < fold(y); });
  if (less) return true;
  const bool greater = std::lexicographical_compare(b.begin(), b.end(), a.begin(), a.end(),
                                                    [&](char x, char y) { return fold(x) < fold(y); });
  // Equal but for letter case: the bytes decide, so that the order never
  // depends on the order in which the directory happened to list them.
  return !greater && a < b;
}

std::vector<std::string> LogFileNames(const DataFolder& folder, std::string_view prefix) {
  std::vector<std::string> names;
  std::error_code ec;
  for (fs::directory_iterator it(folder.Path(kLogDir), ec), end; !ec && it != end; it.increment(ec)) {
    std::string name = it->path().filename().string();
    if (!name.starts_with(prefix) || IsTempFileName(name)) continue;
    std::error_code typeError;
    if (it->is_directory(typeError)) continue;
    names.push_back(std::move(name));
  }
  std::sort(names.begin(), names.end(), LessIgnoringCase);
  return names;
}

std::vector<fs::path> ListReplyLogs(const DataFolder& folder) {
  std::vector<fs::path> paths;
  const fs::path dir = folder.Path(kLogDir);
  for (const auto& name : LogFileNames(folder, "1_")) paths.push_back(dir / name);
  return paths;
}

void ForEachLog(size_t count, const std::function<void(size_t)>& work) {
  const size_t workers = std::clamp<size_t>(std::thread::hardware_concurrency(), 1, 8);
  std::atomic<size_t> next = 0;
  auto worker = [&] {
    for (size_t i = next++; i < count; i = next++) work(i);
  };
  if (count < 32 || workers == 1) return worker();
  std::vector<std::jthread> helpers;
  for (size_t w = 1; w < workers; ++w) helpers.emplace_back(worker);
  worker();
}

RecipientLine CutRecipientLine(std::string_view line) {
  RecipientLine cut;
  std::string* fields[] = {&cut.name, &cut.address, &cut.telephone, &cut.replyTime, &cut.rest};
  size_t start = 0;
  for (std::string* field : fields) {
    if (start > line.size()) break;
    const size_t comma = std::min(line.find(',', start), line.size());
    field->assign(line.substr(start, comma - start));
    start = comma + 1;
  }
  return cut;
}

std::string JoinRecipientLine(const RecipientLine& line) {
  return line.name + "," + line.address + "," + line.telephone + "," + line.replyTime + " " + line.rest;
}

std::string ReplyColumn(const RecipientLine& line) { return line.replyTime + " " + line.rest; }

bool HasReplied(const RecipientLine& line) { return !line.replyTime.empty() || !line.rest.empty(); }

const std::vector<std::string>& ResultListHeader() {
  static const std::vector<std::string> header = {Sj("氏名"),     Sj("メールアドレス"), Sj("電話番号"),
                                                  Sj("受信日時"), Sj("状態"),           Sj("不達理由")};
  return header;
}

const std::string& RepliedText() {
  static const std::string text = Sj("返信あり");
  return text;
}
const std::string& NotRepliedText() {
  static const std::string text = Sj("返信なし");
  return text;
}
const std::string& UndeliveredText() {
  static const std::string text = Sj("不達");
  return text;
}

void FillResultRows(const std::vector<std::string>& logLines, const DeliveryRecord& record, Grid& results) {
  results.Clear(2);
  const int recipients = std::max<int>(0, static_cast<int>(logLines.size()) - 1);
  results.SetRowCount(std::max(2, recipients + 1));
  for (int i = 1; i <= recipients; ++i) {
    const RecipientLine line = CutRecipientLine(logLines[i]);
    results.Cell(kResultName, i) = line.name;
    results.Cell(kResultAddress, i) = line.address;
    results.Cell(kResultTelephone, i) = line.telephone;
    results.Cell(kResultTime, i) = ReplyColumn(line);
    const Undelivered* undelivered = FindUndelivered(record, line.address);
    if (HasReplied(line) || !undelivered) {
      results.Cell(kResultStatus, i) = HasReplied(line) ? RepliedText() : NotRepliedText();
      continue;
    }
    results.Cell(kResultStatus, i) = UndeliveredText();
    results.Cell(kResultReason, i) =
        undelivered->status.empty() ? undelivered->reason : undelivered->status + " " + undelivered->reason;
  }
}

void FillRecipientGrid(const std::vector<RecipientLine>& lines, Grid& recipients) {
  recipients.Clear(30);
  int row = 0;
  for (const auto& line : lines) {
    ++row;
    recipients.Cell(0, row) = line.name;
    recipients.Cell(1, row) = line.address;
    recipients.Cell(2, row) = line.telephone;
    recipients.SetRowCount(recipients.RowCount() + 1);
  }
}

}  // namespace zentavo
