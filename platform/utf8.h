#pragma once
// UTF-8, the encoding of source literals, the terminal and the simulator's files.
// Decoding takes only characters: an overlong form, a surrogate, a value beyond
// U+10FFFF, a stray or missing continuation byte each become U+FFFD, so no
// forbidden byte (a zero, a '/') can hide in a longer form.
#include <cstddef>
#include <string>
#include <string_view>

inline constexpr char32_t kReplacementCharacter = 0xFFFD;

// Decodes the sequence at text[i] and moves i past it. A malformed sequence
// gives U+FFFD and leaves i at the first byte that does not belong to it.
char32_t NextUtf8CodePoint(std::string_view text, std::size_t& i);

// Appends one code point; a surrogate or a value beyond Unicode is written as U+FFFD.
void AppendUtf8(std::string& out, char32_t code);
