// Building an SMS-SUBMIT PDU.
#include <algorithm>
#include <cstdint>

#include "platform/codepage.h"
#include "sms/gsm_alphabet.h"
#include "sms/hex_text.h"
#include "sms/septets.h"
#include "sms/tsms.h"

namespace {

std::u16string ToUtf16(std::string_view ansi) {
  std::u16string w;
  w.reserve(ansi.size());
  for (char c : ansi) w += static_cast<char16_t>(Cp1251ToUnicode(static_cast<std::uint8_t>(c)));
  return w;
}

// The byte a character stands for in the 7-bit and 8-bit branches. A character
// beyond Latin-1 becomes "?": cutting it to its low byte would send a different
// character (an ellipsis as "&", a trade mark sign as a quote).
std::uint8_t Latin1Byte(char16_t unit) { return unit <= 0xFF ? static_cast<std::uint8_t>(unit) : '?'; }

// The header's length octet as the builder reads it: its first two characters
// taken as a decimal number.
bool HeaderLength(std::string_view udh, int& c) {
  const std::string_view digits = udh.substr(0, 2);
  c = 0;
  for (char ch : digits) {
    if (ch < '0' || ch > '9') return false;
    c = c * 10 + (ch - '0');
  }
  return true;
}

}  // namespace

std::string TSMS::BuildSubmitPdu() {
  tpduLen = 0;
  const std::u16string w = ToUtf16(text);
  const std::string da = EncodeAddress(number);
  const bool hasHeader = !udh.empty();

  int branch = 2;
  if (codingReq == 0 || (codingReq == -1 && DetectCoding(w) == 0)) branch = 0;
  else if (codingReq == 1) branch = 1;

  std::string dcs;
  std::string udlHex;
  std::string data;
  std::size_t dropDigits = 0;
  if (branch == 0 || branch == 1) {
    int fill = 0;
    if (hasHeader) {
      int c = 0;
      if (!HeaderLength(udh, c)) return "";
      // Fill codes (0) hold the header's place; in 7-bit the last one also keeps
      // the text on a septet boundary.
      fill = c + c / 7 + 2;
      dropDigits = 2 * static_cast<std::size_t>(fill - 1);
    }
    std::string codes(static_cast<std::size_t>(fill), '\0');
    for (char16_t unit : w) {
      const std::uint8_t byte = Latin1Byte(unit);
      // In septets a character of the extension table follows the escape; in
      // octets each code stands alone.
      if (branch == 0 && GsmEscaped(byte)) codes += static_cast<char>(kGsmEscape);
      codes += static_cast<char>(GsmCharMap(byte));
    }
    udlHex = ToHex(static_cast<unsigned>(codes.size()), 2);
    if (branch == 0) {
      data = PackSeptets(codes);
      dcs = "00";
    } else {
      for (char code : codes) data += ToHex(static_cast<std::uint8_t>(code), 2);
      dcs = "04";
    }
  } else {
    std::u16string units;
    if (hasHeader) {
      units = u"@@@";  // six octets, the size of a concatenation header
      dropDigits = 12;
    }
    units += w;
    for (char16_t unit : units) data += ToHex(unit, 4);
    udlHex = ToHex(static_cast<unsigned>(units.size() * 2), 2);
    dcs = "08";
  }
  if (flash) dcs[0] = '1';
  data.erase(0, std::min(dropDigits, data.size()));

  unsigned firstOctet = 0x11;
  if (statusReport) firstOctet |= 0x20;
  if (hasHeader) firstOctet |= 0x40;
  if (replyPath) firstOctet |= 0x80;

  const std::string tpdu = ToHex(firstOctet, 2) + (mr.empty() ? std::string("00") : mr) + da + "00" + dcs +
                           "FF" + udlHex + udh + data;
  tpduLen = static_cast<int>(tpdu.size() / 2);
  return "00" + tpdu;
}
