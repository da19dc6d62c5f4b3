// Parsing a PDU listed from the SIM: header fields, sender, time stamp and text.
// The input comes from whoever sent the message: every read is bounded by the text.
#include <algorithm>
#include <climits>
#include <cstdint>

#include "platform/codepage.h"
#include "platform/date_time.h"
#include "sms/gsm_alphabet.h"
#include "sms/hex_text.h"
#include "sms/septets.h"
#include "sms/tsms.h"

namespace {

int OctetOrZero(std::string_view pdu, long pos) { return static_cast<int>(HexOctetAt(pdu, pos).value_or(0)); }

const std::string& ErrorText() {
  static const std::string text = Ansi("Ошибка");
  return text;
}

// UTF-16 to the system code page; a surrogate pair is one character it lacks.
std::string Ucs2ToAnsi(std::u16string_view w) {
  std::string out;
  out.reserve(w.size());
  for (std::size_t i = 0; i < w.size(); ++i) {
    const char16_t unit = w[i];
    if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < w.size() && w[i + 1] >= 0xDC00 && w[i + 1] <= 0xDFFF) {
      out += '?';
      ++i;
      continue;
    }
    std::uint8_t byte = '?';
    if (!UnicodeToCp1251(unit, byte)) byte = '?';
    out += static_cast<char>(byte);
  }
  return out;
}

bool IsLeapYear(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DaysInMonth(int y, int m) {
  static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && IsLeapYear(y) ? 29 : days[m - 1];
}

}  // namespace

void TSMS::ParsePdu(std::string_view hexPdu) {
  // Hexadecimal in either case: some modems list PDUs in lowercase.
  pdu = std::string(hexPdu);
  for (char& c : pdu)
    if (c >= 'a' && c <= 'f') c = static_cast<char>(c - 'a' + 'A');
  smscLen = 2 * OctetOrZero(pdu, 1);
  const long long octets = (static_cast<long long>(pdu.size()) - smscLen) / 2 - 1;
  tpduLen = static_cast<int>(std::clamp<long long>(octets, INT_MIN, INT_MAX));
  firstPos = 3 + smscLen;
  const int fo = OctetOrZero(pdu, firstPos);
  isSubmit = (fo & 3) == 1;
  udhi = (fo & 0x40) != 0;
  vpLen = 0;
  if (isSubmit) {
    const int vpf = (fo >> 3) & 3;
    vpLen = vpf == 0 ? 0 : (vpf == 2 ? 2 : 14);
  }
  const int g = isSubmit ? firstPos + 2 : firstPos;
  addrPos = g + 4;
  addrLen = OctetOrZero(pdu, g + 2);
  if (addrLen % 2 != 0) ++addrLen;
  mr = std::string(SubstrAt(pdu, firstPos + 2, 2));
  const int dcs = OctetOrZero(pdu, addrPos + addrLen + 4);
  coding = (dcs >> 2) & 3;
}

std::string TSMS::GetText() {
  const long a = static_cast<long>(firstPos) + addrLen + vpLen + (isSubmit ? 12 : 24);
  const long b = a + 2;
  int c = 0;
  if (udhi) {
    const auto udhl = HexOctetAt(pdu, b);
    if (!udhl) return ErrorText();
    c = static_cast<int>(*udhl);
    const std::size_t headerDigits = 2 * static_cast<std::size_t>(c) + 2;
    udh = std::string(SubstrAt(pdu, b, static_cast<long>(headerDigits)));
    // The header is zeroed in place, so the septets after it unpack on their boundary.
    const std::size_t at = std::min(static_cast<std::size_t>(b - 1), pdu.size());
    pdu.erase(at, std::min(headerDigits, pdu.size() - at));
    pdu.insert(at, headerDigits, '0');
  }
  const auto length = HexOctetAt(pdu, a);
  if (!length) return ErrorText();
  udl = static_cast<int>(*length);
  const int d = c + c / 7 + 3;  // 1-based position of the first text septet

  std::string result;
  switch (coding) {
    case 0: {
      // Cut at udl septets before decoding: a final "@" that fills the last octet
      // exactly is text, and octets beyond the length are not.
      std::string codes = UnpackSeptets(SubstrAt(pdu, b, LONG_MAX), true);
      if (codes.size() > static_cast<std::size_t>(udl)) codes.resize(static_cast<std::size_t>(udl));
      const std::string decoded = GsmConvert(codes, false);
      result = std::string(SubstrAt(decoded, udhi ? d : 1, udl));
      break;
    }
    case 1: {
      auto bytes = HexToBytes(SubstrAt(pdu, b, 2L * udl));
      if (!bytes) return ErrorText();
      if (udhi) {
        // The header, then the zero octet our own builder leaves after it.
        std::size_t skip = std::min(static_cast<std::size_t>(c) + 1, bytes->size());
        if (skip < bytes->size() && (*bytes)[skip] == '\0') ++skip;
        bytes->erase(0, skip);
      }
      result = std::move(*bytes);
      break;
    }
    case 2: {
      // The text starts right after the header, whatever the header's length.
      const long headerDigits = udhi ? 2L * (c + 1) : 0;
      const auto units = HexToUcs2(SubstrAt(pdu, b + headerDigits, 2L * udl - headerDigits));
      if (!units) return ErrorText();
      result = Ucs2ToAnsi(*units);
      break;
    }
    default:
      return ErrorText();
  }
  return NormalizeLineBreaks(result);
}

std::string TSMS::GetNumber() const { return DecodeAddress(SubstrAt(pdu, addrPos, addrLen + 2)); }

std::string TSMS::GetTimestamp() const {
  if (isSubmit) return "";
  const std::string stamp = SwapNibbles(SubstrAt(pdu, static_cast<long>(firstPos) + addrLen + 10, 12));
  int field[6] = {};
  const bool digits = stamp.size() == 12 && std::all_of(stamp.begin(), stamp.end(),
                                                        [](char ch) { return ch >= '0' && ch <= '9'; });
  if (!digits) throw ESmsTimestampError("time stamp is not six decimal pairs: " + stamp);
  for (int i = 0; i < 6; ++i) field[i] = (stamp[2 * i] - '0') * 10 + (stamp[2 * i + 1] - '0');
  DateTime t{2000 + field[0], field[1], field[2], field[3], field[4], field[5]};
  const bool valid = t.month >= 1 && t.month <= 12 && t.day >= 1 && t.day <= DaysInMonth(t.year, t.month) &&
                     t.hour < 24 && t.minute < 60 && t.second < 60;
  if (!valid) throw ESmsTimestampError("time stamp is not a valid date: " + stamp);
  return DateTimeToStr(t);
}

std::string TSMS::NormalizeLineBreaks(std::string_view s) {
  std::string out;
  out.reserve(s.size() + s.size() / 8);
  for (std::size_t i = 0; i < s.size(); ++i) {
    const char ch = s[i];
    if (ch != '\r' && ch != '\n') {
      out += ch;
      continue;
    }
    if (i + 1 < s.size() && (s[i + 1] == '\r' || s[i + 1] == '\n') && s[i + 1] != ch) ++i;
    out += "\r\n";
  }
  return out;
}
