#include "platform/codepage.h"

#include <array>

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

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// Decodes one UTF-8 sequence at text[i]; advances i. Malformed input gives U+FFFD.
char32_t NextCodePoint(std::string_view text, std::size_t& i) {
  const auto b0 = static_cast<std::uint8_t>(text[i++]);
  if (b0 < 0x80) return b0;
  int extra = 0;
  char32_t c = 0;
  if ((b0 & 0xE0) == 0xC0) { extra = 1; c = b0 & 0x1F; }
  else if ((b0 & 0xF0) == 0xE0) { extra = 2; c = b0 & 0x0F; }
  else if ((b0 & 0xF8) == 0xF0) { extra = 3; c = b0 & 0x07; }
  else return 0xFFFD;
  for (int k = 0; k < extra; ++k) {
    if (i >= text.size()) return 0xFFFD;
    const auto b = static_cast<std::uint8_t>(text[i]);
    if ((b & 0xC0) != 0x80) return 0xFFFD;
    c = (c << 6) | (b & 0x3F);
    ++i;
  }
  return c;
}

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
    if (!UnicodeToCp1251(NextCodePoint(utf8, i), b)) b = '?';
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
