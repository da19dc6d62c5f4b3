#include "tools/modem_sim/deliver_pdu.h"

#include <algorithm>
#include <cstdlib>
#include <stdexcept>

#include "sms/hex_text.h"
#include "sms/septets.h"
#include "sms/tsms.h"
#include "tools/modem_sim/gsm_text.h"
#include "tools/modem_sim/utf_text.h"

namespace {

constexpr std::size_t kMaxSeptets = 160;
constexpr std::size_t kMaxUnits = 70;
constexpr std::size_t kMaxNameSeptets = 11;
constexpr std::size_t kMaxNumberDigits = 20;

bool IsNumber(std::string_view s) {
  if (!s.empty() && s.front() == '+') s.remove_prefix(1);
  return !s.empty() && s.size() <= kMaxNumberDigits &&
         std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Length in semi-octets, type, digits: as a sender's address field.
std::string SenderAddress(const std::string& sender) {
  if (IsNumber(sender)) return TSMS::EncodeAddress(sender);
  const auto codes = TextToGsmCodes(Utf8ToUtf16(sender));
  if (sender.empty() || !codes || codes->size() > kMaxNameSeptets)
    throw std::invalid_argument("a sender must be a number or a name of up to 11 GSM characters: " + sender);
  const std::size_t semiOctets = (codes->size() * 7 + 3) / 4;
  return ToHex(static_cast<unsigned>(semiOctets), 2) + "D0" + PackSeptets(*codes);
}

std::string ServiceCentreAddress(std::string_view number) {
  std::string digits(number);
  std::string type = "81";
  if (!digits.empty() && digits.front() == '+') {
    digits.erase(0, 1);
    type = "91";
  }
  if (digits.size() % 2 != 0) digits += 'F';
  return ToHex(static_cast<unsigned>(1 + digits.size() / 2), 2) + type + TSMS::SwapNibbles(digits);
}

// Two decimal digits as a swapped semi-octet pair.
std::string SemiOctets(int value) {
  const char pair[] = {static_cast<char>('0' + value / 10), static_cast<char>('0' + value % 10), '\0'};
  return TSMS::SwapNibbles(pair);
}

bool IsLeapYear(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

std::string TimeStamp(const SmsTime& t) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool valid = t.year >= 2000 && t.year <= 2099 && t.month >= 1 && t.month <= 12 && t.day >= 1 &&
                     t.day <= kDays[t.month - 1] + (t.month == 2 && IsLeapYear(t.year) ? 1 : 0) && t.hour >= 0 &&
                     t.hour < 24 && t.minute >= 0 && t.minute < 60 && t.second >= 0 && t.second < 60 &&
                     t.zoneQuarters >= -79 && t.zoneQuarters <= 79;
  if (!valid) throw std::invalid_argument("not a time stamp of 2000 to 2099");
  const int zone = std::abs(t.zoneQuarters);
  // The zone's sign is bit 3 of its first semi-octet, the tens digit.
  const unsigned zoneOctet = static_cast<unsigned>((zone % 10) << 4 | zone / 10 | (t.zoneQuarters < 0 ? 8 : 0));
  return SemiOctets(t.year - 2000) + SemiOctets(t.month) + SemiOctets(t.day) + SemiOctets(t.hour) +
         SemiOctets(t.minute) + SemiOctets(t.second) + ToHex(zoneOctet, 2);
}

}  // namespace

std::string BuildDeliverPdu(const ReceivedSms& sms, std::string_view serviceCentre) {
  const std::u16string text = Utf8ToUtf16(sms.text);
  std::string dcs;
  std::string udl;
  std::string data;
  if (const auto codes = TextToGsmCodes(text)) {
    if (codes->size() > kMaxSeptets)
      throw std::invalid_argument("the text takes " + std::to_string(codes->size()) + " septets, one SMS holds 160");
    dcs = "00";
    udl = ToHex(static_cast<unsigned>(codes->size()), 2);
    data = PackSeptets(*codes);
  } else {
    if (text.size() > kMaxUnits)
      throw std::invalid_argument("the text takes " + std::to_string(text.size()) +
                                  " UCS2 characters, one SMS holds 70");
    dcs = "08";
    udl = ToHex(static_cast<unsigned>(text.size() * 2), 2);
    for (char16_t unit : text) data += ToHex(unit, 4);
  }
  // First octet 04: SMS-DELIVER, no more messages waiting.
  return ServiceCentreAddress(serviceCentre) + "04" + SenderAddress(sms.sender) + "00" + dcs + TimeStamp(sms.time) +
         udl + data;
}
