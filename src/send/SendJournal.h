// What a notice going out has sent so far, kept on disk while it goes out,
// so that a send cut short by the end of the program, a signal or a crash
// is not silent: the next start tells the operator which notice went out
// only in part. A file beside the settings ("<program>.sending", enciphered
// like every data file), there only while a notice is going out or after
// one was cut short.
#pragma once

#include <optional>
#include <string>

#include "store/DataFolder.h"

namespace zentavo {

struct SendJournal {
  std::string key;  // the notice's history key
  int sent = 0;     // batches gone out
  int batches = 0;
};

// Replaces the journal; a failure goes to the diagnostic log only (the send
// goes on).
void WriteSendJournal(const DataFolder& folder, const SendJournal& journal);
void RemoveSendJournal(const DataFolder& folder);

// At start-up: a notice that went out in part, for the operator to hear
// of, or nothing. The journal is removed once read.
std::optional<SendJournal> TakeSendJournal(const DataFolder& folder);

// "前回、伝達「key」は 1/3 のみ送信されました…" (Shift_JIS).
std::string PartlySentNotice(const SendJournal& journal);

}  // namespace zentavo
