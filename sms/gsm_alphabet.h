#pragma once
// The GSM 7-bit default alphabet as this gateway maps it to and from the system
// code page's bytes.
#include <cstdint>
#include <string>
#include <string_view>

// Entry i is the byte that stands for 7-bit code i.
extern const std::uint8_t kGsmAlphabet[128];

// The 7-bit code for one byte. Only bytes 0x00-0x7F are looked up in the table;
// brackets, braces and the like get a look-alike single code (no escape), and
// anything else becomes 63 ("?"). Always below 128.
std::uint8_t GsmCharMap(std::uint8_t ch);

// encode: GsmCharMap over every byte. Decode: codes to bytes, where escape (27)
// plus the next code yields one byte of the extension pairs (0x00 for an unknown
// pair) and a trailing escape yields nothing.
std::string GsmConvert(std::string_view s, bool encode);
