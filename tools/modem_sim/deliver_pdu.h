#pragma once
// A received message as the SIM keeps it: an SMS-DELIVER PDU in hexadecimal,
// service-centre address first.
#include <string>
#include <string_view>

struct SmsTime {
  int year = 2000, month = 1, day = 1;  // year 2000 to 2099
  int hour = 0, minute = 0, second = 0;
  int zoneQuarters = 0;  // local time minus UTC in quarters of an hour
};

struct ReceivedSms {
  std::string sender;  // a number (digits, "+" first for an international one) or a name
  std::string text;    // UTF-8
  SmsTime time;        // the service centre's time stamp
};

// The service centre the simulated network names in every message it delivers.
inline constexpr std::string_view kSimServiceCentre = "+79990000000";

// A status report for the message with reference 0x2A to +79161234567: delivered.
inline constexpr std::string_view kSimStatusReport =
    "07919799000000F0" "06" "2A" "0B919761214365F7" "62203121400521" "62203121400521" "00";

// 7-bit when every character is in the GSM alphabet (at most 160 septets), else
// UCS2 (at most 70 UTF-16 units). Throws std::invalid_argument for a text that
// does not fit one SMS, a sender that is neither a number nor a name of up to
// 11 GSM characters, or a time stamp that is not a real date.
std::string BuildDeliverPdu(const ReceivedSms& sms, std::string_view serviceCentre = kSimServiceCentre);
