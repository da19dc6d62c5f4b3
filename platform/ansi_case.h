#pragma once
// Letter case of Windows-1251 text (Latin and Cyrillic), as the desktop's
// case-insensitive name matching sees it.
#include <cstdint>
#include <string>
#include <string_view>

std::uint8_t AnsiLowerChar(std::uint8_t byte);
std::uint8_t AnsiUpperChar(std::uint8_t byte);
std::string AnsiLowerCase(std::string_view text);
std::string AnsiUpperCase(std::string_view text);
bool AnsiEqualNoCase(std::string_view a, std::string_view b);
