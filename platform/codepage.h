#pragma once
// The system ANSI code page: Windows-1251. Records, packets and files hold
// Windows-1251 bytes; text is converted only at the Qt boundary and in the SMS codec.
#include <cstdint>
#include <string>
#include <string_view>

// Unicode code point of one Windows-1251 byte. Every byte maps (0x98, which the
// code page leaves unassigned, maps to U+0098), so every byte round-trips.
char32_t Cp1251ToUnicode(std::uint8_t byte);

// Windows-1251 byte for a code point; false when the code page lacks it.
bool UnicodeToCp1251(char32_t code, std::uint8_t& byte);

// Whole-text conversions. A character the code page lacks becomes '?';
// malformed UTF-8 (an overlong form or a surrogate too) becomes '?'.
std::string Utf8ToAnsi(std::string_view utf8);
std::string AnsiToUtf8(std::string_view ansi);

// Short name for turning a UTF-8 source literal into the system code page.
inline std::string Ansi(std::string_view utf8) { return Utf8ToAnsi(utf8); }
