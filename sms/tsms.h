#pragma once
// One SMS PDU to build or to parse: the server makes one per PDU and drops it
// right after use. Positions into pdu are 1-based character positions.
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

// A service-centre time stamp that is not six decimal pairs or not a real date.
class ESmsTimestampError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class TSMS {
 public:
  int vpLen = 0;       // parse: validity-period digits (0, 2 or 14)
  int smscLen = 0;     // parse: service-centre digits after its length octet
  int addrLen = 0;     // parse: address semi-octets, rounded up to even
  int addrPos = 0;     // parse: position of the address type octet
  int coding = 0;      // parse: 0 7-bit, 1 8-bit, 2 UCS2, 3 reserved
  int udl = 0;         // parse: user data length, set by GetText
  int tpduLen = 0;     // octets after the service-centre part (the AT+CMGS argument)
  int firstPos = 0;    // parse: position of the first TPDU octet
  std::string pdu;     // parse: the PDU as hex text
  std::string text;    // build: message text (system code page)
  std::string mr;      // build: message reference as two hex digits ("" = "00")
  std::string number;  // build: destination number
  std::string udh;     // build: user data header in hex with its length octet; parse: found by GetText
  bool flash = false;         // build: class-0 message
  bool replyPath = false;     // build: TP-RP
  bool udhi = false;          // parse: a user data header is present
  bool statusReport = false;  // build: ask for a status report
  bool isSubmit = false;      // parse: an SMS-SUBMIT rather than a received message
  int codingReq = 0;          // build: 0 7-bit, 1 8-bit, 2 UCS2, -1 automatic

  virtual ~TSMS() = default;

  // The whole SMS-SUBMIT as hex, service-centre part "00" first; sets tpduLen.
  // "" and tpduLen 0 when udh does not start with a decimal length.
  std::string BuildSubmitPdu();

  // Reads the header fields of a PDU; a field that is not hex counts as 0.
  void ParsePdu(std::string_view hexPdu);

  // The text of a parsed PDU, line breaks made CR LF; "Ошибка" when the user data
  // cannot be read or the coding is reserved. Sets udl, and with a header also
  // udh; the header's digits in pdu are then replaced by zeros.
  std::string GetText();

  // The sender of a received message, the destination of an SMS-SUBMIT.
  std::string GetNumber() const;

  // The service-centre time stamp in the system's short date and long time format
  // (the date alone at midnight); "" for an SMS-SUBMIT. Throws ESmsTimestampError.
  std::string GetTimestamp() const;

  // CR LF, LF CR, a lone CR and a lone LF each become CR LF.
  static std::string NormalizeLineBreaks(std::string_view s);

  // The conversions below read and write no field: the builder, the parser and
  // whoever needs one PDU piece call them without an object.

  // 2 (UCS2) when the text, in the system code page, holds a byte 0xC0-0xFF (a
  // Cyrillic letter), else 0 (7-bit).
  static int DetectCoding(std::u16string_view text);

  // Length in digits, type (91 international when the number starts with "+",
  // else 81), then the digits as swapped semi-octets padded with "F".
  // Nothing is validated: +123 gives 039121F3, "" gives 0081.
  static std::string EncodeAddress(std::string_view number);

  // From the type octet and the semi-octets that follow it: the number ("+" in front
  // for an international one), or the sender's name for an alphanumeric address.
  // "" when the type is not hex.
  static std::string DecodeAddress(std::string_view field);

  // Packed septets (hex) to text: the unpacked codes decoded through the alphabet.
  static std::string Unpack7Bit(std::string_view hex);

  // One byte per pair of digits; an odd last digit is ignored. Nothing when a pair
  // is not hex.
  static std::optional<std::string> HexToBytes(std::string_view hex);

  // One UTF-16 unit per four digits, high digit first; the text is padded with "0"
  // to a multiple of four. Nothing when a group is not hex.
  static std::optional<std::u16string> HexToUcs2(std::string_view hex);

  // Exchanges characters 1 and 2, 3 and 4, ...; an odd last character stays.
  static std::string SwapNibbles(std::string_view s);
};
