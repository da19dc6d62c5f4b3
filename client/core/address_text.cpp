#include "client/core/address_text.h"

#include <charconv>

std::optional<std::int32_t> ParseInt32(std::string_view text) {
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  if (text.empty()) return std::nullopt;
  std::int32_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

std::optional<std::uint32_t> StoredAddressValue(std::string_view address) {
  std::uint32_t value = 0;
  std::string_view rest = address;
  for (int i = 0; i < 4; ++i) {
    std::string_view part = rest;
    if (i < 3) {
      const auto dot = rest.find('.');
      if (dot == std::string_view::npos) return std::nullopt;
      part = rest.substr(0, dot);
      rest.remove_prefix(dot + 1);
    }
    const auto number = ParseInt32(part);
    if (!number) return std::nullopt;
    value += static_cast<std::uint32_t>(*number) << (24 - 8 * i);
  }
  return value;
}

std::optional<std::uint32_t> DottedAddressValue(std::string_view text) {
  std::uint32_t value = 0;
  for (int i = 0; i < 4; ++i) {
    const std::size_t dot = i < 3 ? text.find('.') : text.size();
    if (dot == std::string_view::npos || dot == 0 || dot > 3) return std::nullopt;
    unsigned octet = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + dot, octet);
    if (error != std::errc() || end != text.data() + dot || octet > 255) return std::nullopt;
    value = value << 8 | octet;
    text.remove_prefix(i < 3 ? dot + 1 : dot);
  }
  return value;
}

std::string DottedAddress(std::uint32_t value) {
  return std::to_string(value >> 24) + "." + std::to_string((value >> 16) & 0xFF) + "." +
         std::to_string((value >> 8) & 0xFF) + "." + std::to_string(value & 0xFF);
}
