#include "protocol/checksum.h"

#include <array>

namespace {
// "kotiv584w2" and its terminating zero: an 11-byte cycle.
constexpr std::array<std::uint8_t, 11> kChecksumKey = {'k', 'o', 't', 'i', 'v', '5', '8', '4', 'w', '2', 0};
}  // namespace

std::uint32_t PacketChecksum(std::span<const std::uint8_t> data) {
  std::uint32_t sum = 0;
  std::size_t k = 0;
  for (std::size_t i = 0; i < data.size(); ++i) {
    // Both bytes are widened as signed chars, as the peers compute it.
    const auto key = static_cast<std::uint32_t>(static_cast<std::int32_t>(static_cast<std::int8_t>(kChecksumKey[k])));
    const auto s = static_cast<std::uint32_t>(static_cast<std::int32_t>(static_cast<std::int8_t>(data[i])));
    sum += (key + 2u * static_cast<std::uint32_t>(i)) ^ s;
    if (++k == kChecksumKey.size()) k = 0;
  }
  return sum;
}
