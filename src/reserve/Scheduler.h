// Sending booked notices without an operator. The main window's clock
// ticks once a second; with "予約送信を実行する" on, each tick looks for a
// reservation whose moment has come and sends it.
//
// A moment is never lost while the program runs with the switch on: a tick
// that comes late, a moment that passes while another notice is being sent
// (booked or by hand) or while the operator is in the middle of a send, is
// sent as soon as nothing else is sending, one reservation at a time, the
// earliest first. Moments that passed while the program was closed or the
// switch was off are not sent: the list shows them as "未処理" and the
// operator decides.
#pragma once

#include <memory>
#include <set>
#include <string>

#include "base/Grid.h"
#include "base/LocalTime.h"
#include "base/Steps.h"
#include "net/SmtpTransport.h"
#include "reserve/ReservationEditor.h"
#include "store/DataFolder.h"
#include "store/SendPage.h"
#include "store/Settings.h"

namespace zentavo {

struct SchedulerState {
  // "yyyy/MM/dd HH:mm:ss" of the second the switch went on; empty while it
  // is off. Moments from then on are due.
  std::string watchingSince;
  // The files this session has run (or tried to), never run twice.
  std::set<std::string> attempted;
  bool running = false;  // a reservation is being sent
};

// Either "予約送信を実行する" box: the switch on the send page, and since when
// the scheduler watches. False when the switch already stood so (a box
// shown, not changed).
bool SetScheduledSending(SendPage& page, SchedulerState& scheduler, bool on, const LocalDateTime& now);

// The file of the earliest listed reservation that is due at `now`: its
// moment has come since the switch went on, this session has not run it,
// and its file held no result. Empty when none is.
std::string NextDueReservation(const ReservationEditor& editor, const SchedulerState& scheduler,
                               const LocalDateTime& now);

// What the windows hear of an unattended send, which shows nothing itself.
class ReservationObserver {
 public:
  virtual ~ReservationObserver() = default;
  // The send button waits until the run has ended.
  virtual void ReservationRunStarted() = 0;
  // The send page may now show the reservation, and the list its result.
  virtual void ReservationRunEnded() = 0;
};

// Everything a reservation run reads and changes; the referenced objects
// must outlive the run. The transport and the runner are the send page's.
struct ReservationContext {
  const DataFolder& folder;
  Settings& settings;
  SendPage& page;
  Grid& recipients;   // the send page's
  SendRunState& run;  // shared with the send button: one send at a time
  ReservationEditor& editor;
  SchedulerState& scheduler;
  ReservationObserver& observer;
  std::shared_ptr<SmtpTransport> transport;
  StepRunner& runner;
  Clock clock = NowLocal;
};

// The reservation timer's tick, once a second: with the switch on and no
// send under way, runs the next due reservation.
void ReservationTimerTick(ReservationContext ctx);

}  // namespace zentavo
