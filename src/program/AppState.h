// Everything the program holds while it runs, as plain data: the settings,
// the master data lists and the send page's recipients. The windows show and
// edit this state and call the core operations on it.
#pragma once

#include <string>
#include <vector>

#include "base/Grid.h"
#include "receive/RunReception.h"
#include "reserve/ReservationEditor.h"
#include "reserve/Scheduler.h"
#include "store/DataFolder.h"
#include "store/Groups.h"
#include "store/SendPage.h"
#include "store/Settings.h"
#include "store/Staff.h"
#include "store/Templates.h"

namespace zentavo {

// How far start-up got: shut-down saves only what was loaded, so that a
// stop requested in the middle of start-up (a signal while the staff
// message box shows) never writes an empty list over a file not yet read.
enum class Loaded { Nothing, Settings, Staff, Groups, Templates, Signature };

struct AppState {
  DataFolder folder;
  Loaded loaded = Loaded::Nothing;
  Settings settings;
  StaffList staff;
  GroupState groups;
  TemplateState templates;
  std::vector<std::string> signature;  // "署名"

  // The send page.
  SendPage send;
  SendRunState run;
  Grid recipients{3, 30};  // "伝達者名"

  // The reception page: the received-mail list and the body pane.
  ReceptionState reception;

  // Booked notices: the editor "送信予約" (its list is the scheduler's) and
  // the scheduler.
  ReservationEditor reservations;
  SchedulerState scheduler;
};

}  // namespace zentavo
