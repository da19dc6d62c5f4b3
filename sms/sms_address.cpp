// Phone numbers to and from the address field of a PDU, as hex text.
#include "sms/hex_text.h"
#include "sms/tsms.h"

std::string TSMS::EncodeAddress(std::string_view number) {
  std::string type = "81";
  if (!number.empty() && number.front() == '+') {
    type = "91";
    number.remove_prefix(1);
  }
  std::string digits(number);
  std::string out = ToHex(static_cast<unsigned>(digits.size() & 0xFF), 2) + type;
  if (digits.size() % 2 != 0) digits += 'F';
  return out + SwapNibbles(digits);
}

std::string TSMS::DecodeAddress(std::string_view field) {
  const auto type = ParseHex(field.substr(0, 2));
  if (!type) return "";
  const std::string_view rest = field.substr(field.size() < 2 ? field.size() : 2);
  if ((*type & 0x50) == 0x50) return Unpack7Bit(rest);
  std::string number = SwapNibbles(rest);
  if (!number.empty() && number.back() == 'F') number.pop_back();
  if (((*type >> 4) & 7) == 1) number.insert(0, 1, '+');
  return number;
}
