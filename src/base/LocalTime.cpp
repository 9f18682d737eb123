#include "base/LocalTime.h"

#include <ctime>

namespace zentavo {

namespace {

std::string TwoDigits(int v) {
  std::string s = std::to_string(v);
  return s.size() < 2 ? "0" + s : s;
}

std::string FourDigits(int v) {
  std::string s = std::to_string(v);
  while (s.size() < 4) s.insert(s.begin(), '0');
  return s;
}

// Day of the week of a Gregorian date, 0 = Sunday.
int Weekday(int y, int m, int d) {
  static const int offsets[] = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
  if (m < 3) y -= 1;
  return (y + y / 4 - y / 100 + y / 400 + offsets[(m - 1) % 12] + d) % 7;
}

}  // namespace

LocalDateTime NowLocal() {
  const std::time_t now = std::time(nullptr);
  std::tm tm{};
  localtime_r(&now, &tm);
  LocalDateTime t;
  t.year = tm.tm_year + 1900;
  t.month = tm.tm_mon + 1;
  t.day = tm.tm_mday;
  t.hour = tm.tm_hour;
  t.minute = tm.tm_min;
  t.second = tm.tm_sec;
  t.utcOffsetMinutes = static_cast<int>(tm.tm_gmtoff / 60);
  return t;
}

std::string FormatDisplayTime(const LocalDateTime& t) {
  return FourDigits(t.year) + "/" + TwoDigits(t.month) + "/" + TwoDigits(t.day) + " " + TwoDigits(t.hour) + ":" +
         TwoDigits(t.minute) + ":" + TwoDigits(t.second);
}

std::string FormatMailDate(const LocalDateTime& t) {
  static const char* const days[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static const char* const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                       "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  const int month = t.month >= 1 && t.month <= 12 ? t.month : 1;
  const int offset = t.utcOffsetMinutes < 0 ? -t.utcOffsetMinutes : t.utcOffsetMinutes;
  return std::string(days[Weekday(t.year, month, t.day)]) + ", " + TwoDigits(t.day) + " " + months[month - 1] + " " +
         FourDigits(t.year) + " " + TwoDigits(t.hour) + ":" + TwoDigits(t.minute) + ":" + TwoDigits(t.second) + " " +
         (t.utcOffsetMinutes < 0 ? "-" : "+") + TwoDigits(offset / 60) + TwoDigits(offset % 60);
}

}  // namespace zentavo
