#pragma once
// Hexadecimal text as the modem carries PDUs: two digits per octet. Parsing is
// explicit: a text that is not hexadecimal gives no value instead of a guess.
#include <optional>
#include <string>
#include <string_view>

// Value of 1 to 4 hex digits (either case). Nothing for an empty text, a longer
// one, or any character that is not a hex digit.
std::optional<unsigned> ParseHex(std::string_view digits);

// The octet at 1-based character position pos: the (at most) two digits from there.
// Nothing when fewer than one digit is left or a digit is not hex.
std::optional<unsigned> HexOctetAt(std::string_view text, long pos);

// The (at most) count characters from 1-based position pos, clipped to the text.
std::string_view SubstrAt(std::string_view text, long pos, long count);

// value as uppercase hex, zero-padded to width digits.
std::string ToHex(unsigned value, int width);
