#include "reserve/Scheduler.h"

#include "reserve/RunReservation.h"

namespace zentavo {

bool SetScheduledSending(SendPage& page, SchedulerState& scheduler, bool on, const LocalDateTime& now) {
  if (on == page.reserveOn) return false;
  page.reserveOn = on;
  if (!on) {
    scheduler.watchingSince.clear();
  } else if (scheduler.watchingSince.empty()) {
    scheduler.watchingSince = FormatDisplayTime(now);
  }
  return true;
}

std::string NextDueReservation(const ReservationEditor& editor, const SchedulerState& scheduler,
                               const LocalDateTime& now) {
  if (scheduler.watchingSince.empty()) return {};
  const std::string nowText = FormatDisplayTime(now);
  const Grid& list = editor.list;
  std::string due, dueMoment;
  for (int row = 1; row < list.RowCount(); ++row) {
    const std::string& date = list.Cell(kReservationDateColumn, row);
    const std::string& time = list.Cell(kReservationTimeColumn, row);
    const std::string fileName = ReservationFileName(date, time);
    if (fileName.empty() || scheduler.attempted.contains(fileName)) continue;
    // "未処理" is only how a moment without a result looks once it has
    // passed; a stored result means the file was dealt with before.
    const std::string& result = list.Cell(kReservationResultColumn, row);
    if (!result.empty() && result != PassedStatus()) continue;
    const std::string moment = date + " " + time;
    if (moment < scheduler.watchingSince || moment > nowText) continue;
    if (due.empty() || moment < dueMoment) {
      due = fileName;
      dueMoment = moment;
    }
  }
  return due;
}

void ReservationTimerTick(ReservationContext ctx) {
  if (!ctx.page.reserveOn || ctx.scheduler.running || ctx.run.running || ctx.run.cancel) return;
  const std::string due = NextDueReservation(ctx.editor, ctx.scheduler, ctx.clock());
  if (!due.empty()) RunReservation(ctx, due);
}

}  // namespace zentavo
