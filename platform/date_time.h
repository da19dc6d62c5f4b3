#pragma once
// Date and time text in the system's short date and long time format, as a
// Russian desktop shows them: "09.12.2026 21:16:07", "09.12.2026 9:05:00".
#include <string>

struct DateTime {
  int year = 1899, month = 12, day = 30;
  int hour = 0, minute = 0, second = 0;
};

DateTime Now();                                 // local time
std::string DateToStr(const DateTime& t);       // "dd.mm.yyyy"
std::string TimeToStr(const DateTime& t);       // "h:mm:ss"
// Date and time; the date alone when the time is exactly midnight.
// Never longer than 19 characters for years 0 to 9999.
std::string DateTimeToStr(const DateTime& t);
