#include "sms/septets.h"

#include <cstdint>

#include "sms/gsm_alphabet.h"
#include "sms/hex_text.h"
#include "sms/tsms.h"

namespace {

bool IsUpperHexDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'); }

}  // namespace

std::string UnpackSeptets(std::string_view hex, bool keepFinalZero) {
  const std::size_t n = hex.size() / 2;
  std::string out;
  out.reserve(n * 8 / 7 + 1);
  unsigned q = 1;
  unsigned carry = 0;
  for (std::size_t j = 0; j < n; ++j) {
    const char hi = hex[2 * j];
    const char lo = hex[2 * j + 1];
    if (!IsUpperHexDigit(hi)) break;
    // A bad second digit leaves the first digit alone as the value.
    const unsigned value = *ParseHex(IsUpperHexDigit(lo) ? hex.substr(2 * j, 2) : hex.substr(2 * j, 1));
    const unsigned low = 0xFFu >> q;
    out += static_cast<char>(((value & low) << (q - 1)) | carry);
    carry = ((value & ~low) & 0xFFu) >> (8 - q);
    ++q;
    if (q == 8) {
      if (j + 1 < n || carry != 0 || keepFinalZero) out += static_cast<char>(carry);
      q = 1;
      carry = 0;
    }
  }
  return out;
}

std::string TSMS::Unpack7Bit(std::string_view hex) { return GsmConvert(UnpackSeptets(hex, false), false); }

std::string PackSeptets(std::string_view codes) {
  std::string out;
  out.reserve(codes.size() * 2);
  unsigned i = 0;
  for (std::size_t j = 0; j < codes.size(); ++j) {
    if (i == 7) {  // this code already filled the top of the previous octet
      i = 0;
      continue;
    }
    const unsigned cur = static_cast<std::uint8_t>(codes[j]) & 0x7Fu;
    const unsigned next = j + 1 < codes.size() ? static_cast<std::uint8_t>(codes[j + 1]) & 0x7Fu : 0;
    const unsigned octet = ((cur >> i) | ((next & ((1u << (i + 1)) - 1)) << (7 - i))) & 0xFFu;
    out += ToHex(octet, 2);
    ++i;
  }
  return out;
}
