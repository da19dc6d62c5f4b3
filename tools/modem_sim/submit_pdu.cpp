#include "tools/modem_sim/submit_pdu.h"

#include <algorithm>
#include <cctype>
#include <cstdint>

#include "sms/hex_text.h"
#include "sms/septets.h"
#include "sms/tsms.h"
#include "tools/modem_sim/gsm_text.h"
#include "tools/modem_sim/utf_text.h"

namespace {

// The longest user data of one SMS: 140 octets, 160 septets.
constexpr int kMaxOctets = 140;
constexpr int kMaxSeptets = 160;

DecodedSubmit Refuse(std::string problem) {
  DecodedSubmit d;
  d.problem = std::move(problem);
  return d;
}

std::string HexOf(std::string_view bytes) {
  std::string out;
  for (char b : bytes) out += ToHex(static_cast<std::uint8_t>(b), 2);
  return out;
}

// The alphabet of a data coding scheme: 0 7-bit, 1 8-bit, 2 UCS2; -1 for one
// this modem cannot send (compressed or reserved).
int Alphabet(unsigned dcs) {
  switch (dcs >> 4) {
    case 0x0: case 0x1: case 0x4: case 0x5: {
      const int alphabet = static_cast<int>((dcs >> 2) & 3);
      return (dcs & 0x20) != 0 || alphabet == 3 ? -1 : alphabet;
    }
    case 0xC: case 0xD: return 0;
    case 0xE: return 2;
    case 0xF: return (dcs & 4) != 0 ? 1 : 0;
    default: return -1;
  }
}

// The concatenation element of a user data header, when it has one; false when
// an element runs past the header.
bool ReadHeader(std::string_view header, std::optional<Concatenation>& concatenation) {
  for (std::size_t i = 0; i < header.size();) {
    if (i + 2 > header.size()) return false;
    const auto id = static_cast<std::uint8_t>(header[i]);
    const auto size = static_cast<std::uint8_t>(header[i + 1]);
    if (i + 2 + size > header.size()) return false;
    const auto at = [&](std::size_t k) { return static_cast<int>(static_cast<std::uint8_t>(header[i + 2 + k])); };
    if (id == 0x00 && size == 3) concatenation = Concatenation{at(0), at(2), at(1)};
    if (id == 0x08 && size == 4) concatenation = Concatenation{at(0) * 256 + at(1), at(3), at(2)};
    i += 2 + size;
  }
  return true;
}

}  // namespace

DecodedSubmit DecodeSubmitPdu(std::string_view hexIn, int length) {
  std::string hex(hexIn);
  for (char& c : hex) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  const auto bytesOrNothing = TSMS::HexToBytes(hex);
  if (hex.empty() || hex.size() % 2 != 0 || !bytesOrNothing) return Refuse("not a hexadecimal PDU");
  const std::string& bytes = *bytesOrNothing;

  const std::size_t tpduStart = 1 + static_cast<std::uint8_t>(bytes[0]);
  if (tpduStart > bytes.size()) return Refuse("the service-centre address runs past the PDU");
  const std::string_view tpdu = std::string_view(bytes).substr(tpduStart);
  if (static_cast<long>(tpdu.size()) != length)
    return Refuse("length " + std::to_string(length) + " given for " + std::to_string(tpdu.size()) +
                  " octets after the service-centre part");

  // Fixed fields up to the user data; every read is checked against the end.
  std::size_t at = 0;
  const auto need = [&](std::size_t n) { return at + n <= tpdu.size(); };
  const auto octet = [&](std::size_t i) { return static_cast<unsigned>(static_cast<std::uint8_t>(tpdu[i])); };
  if (!need(3)) return Refuse("the PDU ends before its destination");
  const unsigned first = octet(0);
  if ((first & 3) != 1) return Refuse("not an SMS-SUBMIT");
  const unsigned digits = octet(2);
  at = 3;
  const std::size_t addressOctets = 1 + (digits + 1) / 2;  // type and semi-octets
  if (!need(addressOctets + 2)) return Refuse("the PDU ends inside its destination");
  DecodedSubmit d;
  d.number = TSMS::DecodeAddress(std::string_view(hex).substr(2 * (tpduStart + at), 2 * addressOctets));
  at += addressOctets;
  const unsigned dcs = octet(at + 1);
  at += 2;  // protocol identifier, coding scheme
  const unsigned validityFormat = (first >> 3) & 3;
  at += validityFormat == 0 ? 0 : (validityFormat == 2 ? 1 : 7);
  if (!need(1)) return Refuse("the PDU ends before its user data");
  const unsigned udl = octet(at++);
  const std::string_view data = tpdu.substr(at);

  const int alphabet = Alphabet(dcs);
  if (alphabet < 0) return Refuse("a data coding scheme this modem cannot send: " + ToHex(dcs, 2));
  d.coding = alphabet == 0 ? "7-bit" : (alphabet == 1 ? "8-bit" : "UCS2");
  const std::size_t dataOctets = alphabet == 0 ? (udl * 7 + 7) / 8 : udl;
  if (udl > static_cast<unsigned>(alphabet == 0 ? kMaxSeptets : kMaxOctets))
    return Refuse("user data length " + std::to_string(udl) + " is more than one SMS holds");
  if (data.size() != dataOctets)
    return Refuse("user data length " + std::to_string(udl) + " does not fit the " + std::to_string(data.size()) +
                  " octets that follow it");

  std::size_t headerOctets = 0;
  if ((first & 0x40) != 0) {
    headerOctets = data.empty() ? 1 : 1 + static_cast<std::uint8_t>(data[0]);
    if (headerOctets > data.size() || !ReadHeader(data.substr(1, headerOctets - 1), d.concatenation))
      return Refuse("the user data header runs past the user data");
  }

  if (alphabet == 0) {
    std::string codes = UnpackSeptets(HexOf(data), true);
    codes.resize(udl, '\0');
    const std::size_t headerSeptets = (headerOctets * 8 + 6) / 7;
    d.text = Utf16ToUtf8(GsmCodesToText(std::string_view(codes).substr(std::min(headerSeptets, codes.size()))));
  } else if (alphabet == 1) {
    d.text = HexOf(data.substr(headerOctets));
  } else {
    const std::string_view units = data.substr(headerOctets);
    if (units.size() % 2 != 0) return Refuse("UCS2 user data of an odd number of octets");
    d.text = Utf16ToUtf8(*TSMS::HexToUcs2(HexOf(units)));
  }
  return d;
}
