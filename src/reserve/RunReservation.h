// One due reservation, sent without an operator: its file is read, the
// notice it holds is sent over the settings of the moment with the MailNo it
// was booked with, and the outcome is appended to the file as a result pair
// (or the file is deleted after a clean send when the editor says so).
//
// The run works on its own copy of the reservation's values, never on the
// send page, so it neither clashes with a send by hand nor takes what the
// operator is typing; the send page shows the reservation afterwards only
// when it held nothing unsent. Each SMTP session runs on the step runner's
// worker, like the send button's.
#pragma once

#include <string>

#include "reserve/Scheduler.h"

namespace zentavo {

// Runs reservation `fileName`. Returns at once when a send is under way.
void RunReservation(ReservationContext ctx, std::string fileName);

}  // namespace zentavo
