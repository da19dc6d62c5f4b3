#pragma once
// The settings dialog's conversions between texts and numbers.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// A decimal 32-bit integer with an optional sign, as the settings store them.
std::optional<std::int32_t> ParseInt32(std::string_view text);

// The stored address split at its first three dots, each part an integer, as
// first × 2^24 + second × 2^16 + third × 2^8 + fourth (modulo 2^32); nothing
// when a part is no number (a host name).
std::optional<std::uint32_t> StoredAddressValue(std::string_view address);

// A whole dotted address as the user may paste it: four numbers of one to three
// digits, each at most 255, joined by "."; nothing for any other text.
std::optional<std::uint32_t> DottedAddressValue(std::string_view text);

// "a.b.c.d", most significant byte first.
std::string DottedAddress(std::uint32_t value);
