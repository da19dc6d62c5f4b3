#include "platform/date_time.h"

#include <cstdio>
#include <ctime>

DateTime Now() {
  const std::time_t now = std::time(nullptr);
  std::tm tm{};
  ::localtime_r(&now, &tm);
  return DateTime{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

namespace {
int Clamp(int v, int lo, int hi) { return v < lo ? lo : (v > hi ? hi : v); }
}  // namespace

std::string DateToStr(const DateTime& t) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%02d.%02d.%04d", Clamp(t.day, 0, 99), Clamp(t.month, 0, 99),
                Clamp(t.year, 0, 9999));
  return buf;
}

std::string TimeToStr(const DateTime& t) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%d:%02d:%02d", Clamp(t.hour, 0, 99), Clamp(t.minute, 0, 99),
                Clamp(t.second, 0, 99));
  return buf;
}

std::string DateTimeToStr(const DateTime& t) {
  if (t.hour == 0 && t.minute == 0 && t.second == 0) return DateToStr(t);
  return DateToStr(t) + " " + TimeToStr(t);
}
