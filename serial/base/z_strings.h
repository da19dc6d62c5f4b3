#pragma once
// Zero-terminated text into caller buffers. Every routine takes the buffer with
// its size, never writes past it and always terminates (when it has room for
// the terminator at all), cutting the text to fit; each returns the buffer.
#include <cstdint>
#include <span>
#include <string_view>

// Copies `text` into `dest`, cut to fit and terminated.
char* CopyZ(std::span<char> dest, std::string_view text);

// L in decimal, with '-' for negatives.
char* Long2StrZ(std::span<char> dest, std::int32_t l);

// True when the whole of `s` (after leading blanks) is an integer that fits 32
// bits, with an optional sign: decimal, or hexadecimal after a "$" (up to eight
// digits, taken as the 32 bits of the value); `l` is then its value, else 0.
bool Str2LongZ(std::string_view s, std::int32_t& l);

// At most `count` characters of `s` from the 0-based `pos`; empty when pos is
// not below the length of s.
char* StrStCopy(std::span<char> dest, std::string_view s, std::uint32_t pos, std::uint32_t count);

// True when `name` is an existing file that is not a directory.
bool ExistFileZ(const char* name);
