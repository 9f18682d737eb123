// Local date and time as the program shows, stores and sends them.
#pragma once

#include <functional>
#include <string>

namespace zentavo {

// A local date and time as the clock gives it, with the offset from UTC
// (needed only for the Date header). Runs take it from a Clock so that tests
// can fix it.
struct LocalDateTime {
  int year = 2000;
  int month = 1;  // 1..12
  int day = 1;    // 1..31
  int hour = 0;   // 0..23
  int minute = 0;
  int second = 0;
  int utcOffsetMinutes = 0;  // +540 for Japan
};

using Clock = std::function<LocalDateTime()>;

// The machine's local time now.
LocalDateTime NowLocal();

// "yyyy/MM/dd HH:mm:ss", the program's display and stored form.
std::string FormatDisplayTime(const LocalDateTime& t);

// RFC 5322 date-time: "Tue, 01 May 2012 09:30:00 +0900".
std::string FormatMailDate(const LocalDateTime& t);

}  // namespace zentavo
