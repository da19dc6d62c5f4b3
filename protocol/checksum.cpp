#include "protocol/checksum.h"

#include <algorithm>
#include <array>
#include <cstddef>

namespace {

// "kotiv584w2" and its terminating zero: an 11-byte cycle.
constexpr std::array<std::uint8_t, 11> kChecksumKey = {'k', 'o', 't', 'i', 'v', '5', '8', '4', 'w', '2', 0};

// Both bytes are widened as signed chars, as the peers compute it.
constexpr std::uint32_t Widened(std::uint8_t b) {
  return static_cast<std::uint32_t>(static_cast<std::int32_t>(static_cast<std::int8_t>(b)));
}

// What a byte at position i is XORed with: its key byte plus twice i.
constexpr std::uint32_t Term(std::size_t i) {
  return Widened(kChecksumKey[i % kChecksumKey.size()]) + 2u * static_cast<std::uint32_t>(i);
}

// The terms of a whole text field, worked out once: the sum over them is then a
// plain loop that the compiler runs many bytes at a time, which a list of
// 100,000 long messages checked at opening needs.
constexpr std::size_t kTabled = 1024;
constexpr std::array<std::uint32_t, kTabled> kTerms = [] {
  std::array<std::uint32_t, kTabled> terms{};
  for (std::size_t i = 0; i < kTabled; ++i) terms[i] = Term(i);
  return terms;
}();

}  // namespace

std::uint32_t PacketChecksum(std::span<const std::uint8_t> data) {
  std::uint32_t sum = 0;
  const std::size_t tabled = std::min(data.size(), kTabled);
  for (std::size_t i = 0; i < tabled; ++i) sum += kTerms[i] ^ Widened(data[i]);
  for (std::size_t i = tabled; i < data.size(); ++i) sum += Term(i) ^ Widened(data[i]);
  return sum;
}
