#include "platform/ansi_case.h"

#include <array>

#include "platform/codepage.h"

namespace {

char32_t LowerCode(char32_t c) {
  if (c >= U'A' && c <= U'Z') return c + 0x20;
  if (c >= 0x0410 && c <= 0x042F) return c + 0x20;  // А-Я
  if (c >= 0x0400 && c <= 0x040F) return c + 0x50;  // Ё, Ђ, Є, Ї, Ў, Џ ...
  if (c == 0x0490) return 0x0491;                   // Ґ
  return c;
}

struct CaseTables {
  std::array<std::uint8_t, 256> lower{}, upper{};
  CaseTables() {
    for (int b = 0; b < 256; ++b) lower[b] = upper[b] = static_cast<std::uint8_t>(b);
    for (int b = 0; b < 256; ++b) {
      std::uint8_t l = 0;
      if (UnicodeToCp1251(LowerCode(Cp1251ToUnicode(static_cast<std::uint8_t>(b))), l) && l != b) {
        lower[b] = l;
        upper[l] = static_cast<std::uint8_t>(b);
      }
    }
  }
};

const CaseTables& Tables() {
  static const CaseTables tables;
  return tables;
}

}  // namespace

std::uint8_t AnsiLowerChar(std::uint8_t byte) { return Tables().lower[byte]; }
std::uint8_t AnsiUpperChar(std::uint8_t byte) { return Tables().upper[byte]; }

std::string AnsiLowerCase(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(AnsiLowerChar(static_cast<std::uint8_t>(c)));
  return out;
}

std::string AnsiUpperCase(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(AnsiUpperChar(static_cast<std::uint8_t>(c)));
  return out;
}

bool AnsiEqualNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (AnsiLowerChar(static_cast<std::uint8_t>(a[i])) != AnsiLowerChar(static_cast<std::uint8_t>(b[i]))) return false;
  return true;
}
