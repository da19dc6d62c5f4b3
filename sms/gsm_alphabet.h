#pragma once
// The GSM 7-bit default alphabet as this gateway maps it to and from the system
// code page's bytes.
#include <cstdint>
#include <string>
#include <string_view>

// Entry i is the byte that stands for 7-bit code i.
extern const std::uint8_t kGsmAlphabet[128];

// The code before each character of the extension table.
inline constexpr std::uint8_t kGsmEscape = 27;

// The 7-bit code for one byte. Only bytes 0x00-0x7F are looked up in the table;
// the characters of the extension table (form feed, brackets, braces, "~", "^",
// backslash, vertical bar) get their code in that table, which the escape must
// precede (GsmEscaped), and anything else becomes 63 ("?"). Always below 128.
std::uint8_t GsmCharMap(std::uint8_t ch);

// The byte is written as the escape and its code in the extension table: two septets.
bool GsmEscaped(std::uint8_t ch);

// The byte has a place in the 7-bit alphabet or its extension table: written
// and read back, it is itself. No byte 0x80-0xFF has one, nor the grave accent,
// the control characters other than the line breaks and the form feed, or the
// zero byte.
bool GsmHasPlace(std::uint8_t ch);

// encode: the code of every byte, each of the extension table with the escape
// before it. Decode: codes to bytes, where escape plus the next code yields one
// byte of the extension pairs (0x00 for an unknown pair) and a trailing escape
// yields nothing.
std::string GsmConvert(std::string_view s, bool encode);
