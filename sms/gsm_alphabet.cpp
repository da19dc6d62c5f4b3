#include "sms/gsm_alphabet.h"

#include <optional>

#include "platform/codepage.h"
#include "sms/tsms.h"

// Greek capitals carry their ISO 8859-7 bytes; code 6 and 31 differ from the
// usual Latin-1 letters by one; code 27 (escape) is the zero byte.
const std::uint8_t kGsmAlphabet[128] = {
    0x40, 0xA3, 0x24, 0xA5, 0xE8, 0xE9, 0xFA, 0xEC,  // 0
    0xF2, 0xC7, 0x0A, 0xD8, 0xF8, 0x0D, 0xC5, 0xE5,  // 8
    0xC4, 0x5F, 0xD6, 0xC3, 0xCB, 0xD9, 0xD0, 0xD8,  // 16
    0xD3, 0xC8, 0xCE, 0x00, 0xC6, 0xE6, 0xDF, 0xCA,  // 24
    0x20, 0x21, 0x22, 0x23, 0xA4, 0x25, 0x26, 0x27,  // 32
    0x28, 0x29, 0x2A, 0x2B, 0x2C, 0x2D, 0x2E, 0x2F,  // 40
    0x30, 0x31, 0x32, 0x33, 0x34, 0x35, 0x36, 0x37,  // 48
    0x38, 0x39, 0x3A, 0x3B, 0x3C, 0x3D, 0x3E, 0x3F,  // 56
    0xA1, 0x41, 0x42, 0x43, 0x44, 0x45, 0x46, 0x47,  // 64
    0x48, 0x49, 0x4A, 0x4B, 0x4C, 0x4D, 0x4E, 0x4F,  // 72
    0x50, 0x51, 0x52, 0x53, 0x54, 0x55, 0x56, 0x57,  // 80
    0x58, 0x59, 0x5A, 0xC4, 0xD6, 0xD1, 0xDC, 0xA7,  // 88
    0xBF, 0x61, 0x62, 0x63, 0x64, 0x65, 0x66, 0x67,  // 96
    0x68, 0x69, 0x6A, 0x6B, 0x6C, 0x6D, 0x6E, 0x6F,  // 104
    0x70, 0x71, 0x72, 0x73, 0x74, 0x75, 0x76, 0x77,  // 112
    0x78, 0x79, 0x7A, 0xE4, 0xF6, 0xF1, 0xFC, 0xE0,  // 120
};

namespace {

constexpr std::uint8_t kQuestionMark = 63;

struct Pair {
  std::uint8_t code;
  std::uint8_t byte;
};

// Escape + code -> byte when decoding; the same bytes encode to escape + code,
// all but the euro's 0xA4, the currency sign in the system's code page.
constexpr Pair kExtension[] = {
    {10, 0x0C}, {20, '^'}, {40, '{'}, {41, '}'}, {47, 0x5C},
    {60, '['},  {61, '~'}, {62, ']'}, {64, 0x7C}, {101, 0xA4},
};

std::uint8_t ExtensionByte(std::uint8_t code) {
  for (const Pair& p : kExtension)
    if (p.code == code) return p.byte;
  return 0x00;
}

std::optional<std::uint8_t> ExtensionCode(std::uint8_t ch) {
  for (const Pair& p : kExtension)
    if (p.byte == ch && p.code != 101) return p.code;
  return std::nullopt;
}

std::optional<std::uint8_t> TableCode(std::uint8_t ch) {
  // Bytes above 0x7F never match the table, even where Latin-1 would.
  if (ch < 0x80) {
    for (std::uint8_t code = 0; code < 128; ++code)
      if (kGsmAlphabet[code] == ch) return code;
  }
  return std::nullopt;
}

}  // namespace

std::uint8_t GsmCharMap(std::uint8_t ch) {
  if (const auto code = TableCode(ch)) return *code;
  return ExtensionCode(ch).value_or(kQuestionMark);
}

bool GsmEscaped(std::uint8_t ch) { return !TableCode(ch) && ExtensionCode(ch); }

bool GsmHasPlace(std::uint8_t ch) {
  // The zero byte's entry is the escape, which stands for no character.
  if (const auto code = TableCode(ch)) return *code != kGsmEscape;
  return ExtensionCode(ch).has_value();
}

std::string GsmConvert(std::string_view s, bool encode) {
  std::string out;
  out.reserve(s.size());
  if (encode) {
    for (char c : s) {
      const auto byte = static_cast<std::uint8_t>(c);
      if (GsmEscaped(byte)) out += static_cast<char>(kGsmEscape);
      out += static_cast<char>(GsmCharMap(byte));
    }
    return out;
  }
  bool escaped = false;
  for (char c : s) {
    const auto code = static_cast<std::uint8_t>(c);
    if (escaped) {
      escaped = false;
      out += static_cast<char>(ExtensionByte(code));
    } else if (code == kGsmEscape) {
      escaped = true;
    } else {
      // Codes come from septets; anything wider is not a character of the alphabet.
      out += static_cast<char>(code < 128 ? kGsmAlphabet[code] : '?');
    }
  }
  return out;
}

int TSMS::DetectCoding(std::u16string_view text) {
  for (char16_t unit : text) {
    std::uint8_t byte = '?';
    UnicodeToCp1251(unit, byte);
    if (byte >= 0xC0) return 2;
  }
  return 0;
}
