#include "protocol/packet.h"

#include <algorithm>
#include <cstring>

#include "protocol/checksum.h"

std::uint16_t packet::length() const {
  return static_cast<std::uint16_t>(bytes_[kLengthOffset] | (bytes_[kLengthOffset + 1] << 8));
}

void packet::set_length(std::uint16_t n) {
  bytes_[kLengthOffset] = static_cast<std::uint8_t>(n & 0xFF);
  bytes_[kLengthOffset + 1] = static_cast<std::uint8_t>(n >> 8);
}

std::uint32_t packet::checksum() const {
  std::uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | bytes_[kChecksumOffset + static_cast<std::size_t>(i)];
  return v;
}

void packet::set_checksum(std::uint32_t sum) {
  for (std::size_t i = 0; i < 4; ++i) bytes_[kChecksumOffset + i] = static_cast<std::uint8_t>(sum >> (8 * i));
}

std::string_view packet::Field(std::size_t offset, std::size_t size) const {
  const auto* begin = reinterpret_cast<const char*>(bytes_.data() + offset);
  const void* zero = std::memchr(begin, 0, size);
  return {begin, zero ? static_cast<std::size_t>(static_cast<const char*>(zero) - begin) : size};
}

std::string_view packet::text() const {
  return Field(kTextOffset, std::min<std::size_t>(length(), kTextSize));
}

packet& PacketInit(packet& p) {
  PacketClear(p);
  return p;
}

PacketPtr PacketNew() {
  auto p = std::make_unique<packet>();
  PacketInit(*p);
  return p;
}

void PacketFree(PacketPtr& p) { p.reset(); }

void PacketClear(packet& p) {
  auto raw = p.raw();
  std::fill(raw.begin() + kNumberOffset, raw.begin() + kTextOffset, std::uint8_t{0});
}

bool PacketVerify(const packet& p) {
  // A length past the text field is a broken record, not a text to cut short.
  if (p.length() > kTextSize) return false;
  return PacketChecksum(p.text_field().first(p.length())) == p.checksum();
}

namespace {

// Zeroes the field, then copies at most size-1 bytes so a terminator always follows.
void SetField(packet& p, std::size_t offset, std::size_t size, std::string_view source) {
  auto field = p.raw().subspan(offset, size);
  std::fill(field.begin(), field.end(), std::uint8_t{0});
  const std::size_t count = std::min(source.size(), size - 1);
  std::memcpy(field.data(), source.data(), count);
}

}  // namespace

void PacketSetNumber(packet& p, std::string_view source) { SetField(p, kNumberOffset, kNumberSize, source); }

void PacketSetDate(packet& p, std::string_view source) { SetField(p, kDateOffset, kDateSize, source); }

void PacketSetText(packet& p, std::string_view source) {
  auto field = p.text_field();
  std::fill(field.begin(), field.end(), std::uint8_t{0});
  const std::size_t count = std::min(source.size(), kTextSize);
  std::memcpy(field.data(), source.data(), count);
  p.set_length(static_cast<std::uint16_t>(count));
  p.set_checksum(PacketChecksum(field.first(count)));
}
