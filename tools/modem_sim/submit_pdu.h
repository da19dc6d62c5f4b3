#pragma once
// What the modem makes of a PDU given with AT+CMGS: the checks a modem runs
// before it sends, and the message decoded for the log.
#include <optional>
#include <string>
#include <string_view>

struct Concatenation {
  int reference = 0;  // 8-bit or 16-bit reference of the series
  int part = 0;       // 1-based
  int count = 0;
};

struct DecodedSubmit {
  std::string problem;  // why the modem refuses the PDU; empty when it takes it
  std::string number;   // destination
  std::string coding;   // "7-bit", "8-bit" or "UCS2"
  std::string text;     // UTF-8; 8-bit data as hexadecimal digits
  std::optional<Concatenation> concatenation;
};

// hex: the PDU as given, service-centre part first. length: the AT+CMGS
// argument, which must count the octets after the service-centre part.
DecodedSubmit DecodeSubmitPdu(std::string_view hex, int length);
