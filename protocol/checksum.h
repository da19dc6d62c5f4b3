#pragma once
#include <cstdint>
#include <span>

// Keyed 32-bit checksum over a packet's text: each byte, sign-extended, is XORed
// with the key byte plus twice its position, and the terms are summed mod 2^32.
std::uint32_t PacketChecksum(std::span<const std::uint8_t> data);
