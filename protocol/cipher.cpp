#include "protocol/cipher.h"

#include <array>

namespace {
// "plomvex739ra" and its terminating zero: a 13-byte cycle.
constexpr std::array<std::uint8_t, 13> kCipherKey = {'p', 'l', 'o', 'm', 'v', 'e', 'x', '7', '3', '9', 'r', 'a', 0};
}  // namespace

void EncodeBuffer(std::span<std::uint8_t> buffer) {
  std::size_t k = 0;
  for (std::size_t i = 0; i < buffer.size(); ++i) {
    buffer[i] ^= static_cast<std::uint8_t>(2 * i + kCipherKey[k]);
    if (++k == kCipherKey.size()) k = 0;
  }
}
