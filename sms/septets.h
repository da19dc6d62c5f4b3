#pragma once
// Packing and unpacking of 7-bit codes into octets, least significant bits first.
#include <string>
#include <string_view>

// Packed septets (hex) to 7-bit codes, not yet decoded. An odd last digit is
// ignored; reading stops at a pair whose first digit is not an uppercase hex digit.
// A zero septet that only fills the last octet is dropped unless keepFinalZero.
std::string UnpackSeptets(std::string_view hex, bool keepFinalZero);

// 7-bit codes (each below 128) to packed octets as uppercase hex.
std::string PackSeptets(std::string_view codes);
