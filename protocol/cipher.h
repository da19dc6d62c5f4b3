#pragma once
#include <cstdint>
#include <span>

// Keyed position-dependent XOR, its own inverse: byte i is XORed with
// (2*i + K[i mod 13]) mod 256. Always applied from the buffer's first byte.
void EncodeBuffer(std::span<std::uint8_t> buffer);
