#include "platform/codepage.h"

#include <array>

#include "platform/utf8.h"

namespace {

// Upper half 0x80-0xBF; 0xC0-0xFF are U+0410-U+044F in order.
constexpr std::array<char16_t, 64> kHigh = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,  // 80
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,  // 88
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90
    0x0098, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,  // 98
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,  // A0
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,  // A8
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,  // B0
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,  // B8
};

}  // namespace

char32_t Cp1251ToUnicode(std::uint8_t byte) {
  if (byte < 0x80) return byte;
  if (byte >= 0xC0) return 0x0410 + (byte - 0xC0);
  return kHigh[byte - 0x80];
}

bool UnicodeToCp1251(char32_t code, std::uint8_t& byte) {
  if (code < 0x80) { byte = static_cast<std::uint8_t>(code); return true; }
  if (code >= 0x0410 && code <= 0x044F) { byte = static_cast<std::uint8_t>(0xC0 + (code - 0x0410)); return true; }
  for (std::size_t k = 0; k < kHigh.size(); ++k) {
    if (kHigh[k] == code) { byte = static_cast<std::uint8_t>(0x80 + k); return true; }
  }
  return false;
}

std::string Utf8ToAnsi(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  for (std::size_t i = 0; i < utf8.size();) {
    std::uint8_t b = '?';
    if (!UnicodeToCp1251(NextUtf8CodePoint(utf8, i), b)) b = '?';
    out += static_cast<char>(b);
  }
  return out;
}

std::string AnsiToUtf8(std::string_view ansi) {
  std::string out;
  out.reserve(ansi.size() * 2);
  for (char ch : ansi) AppendUtf8(out, Cp1251ToUnicode(static_cast<std::uint8_t>(ch)));
  return out;
}
