#pragma once
// The one record that crosses the TCP link and fills every message file:
// 1076 bytes, no padding, multi-byte fields little-endian. Fields are read and
// written byte by byte, never by laying a struct over the bytes.
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string_view>

inline constexpr std::size_t kPacketSize = 1076;
inline constexpr std::size_t kNumberSize = 25;
inline constexpr std::size_t kDateSize = 20;
inline constexpr std::size_t kTextSize = 1024;

inline constexpr std::size_t kNumberOffset = 0;
inline constexpr std::size_t kDateOffset = 25;
inline constexpr std::size_t kTypeOffset = 45;
inline constexpr std::size_t kLengthOffset = 46;
inline constexpr std::size_t kChecksumOffset = 48;
inline constexpr std::size_t kTextOffset = 52;

// Packet types.
inline constexpr std::uint8_t kPacketMessage = 1;
inline constexpr std::uint8_t kPacketLogin = 2;
inline constexpr std::uint8_t kPacketLoginAccepted = 3;
inline constexpr std::uint8_t kPacketLoginRefused = 4;
inline constexpr std::uint8_t kPacketFetch = 5;

class packet {
 public:
  // Zero-terminated texts, never read past their fields whatever the bytes hold.
  std::string_view number() const { return Field(kNumberOffset, kNumberSize); }
  std::string_view date() const { return Field(kDateOffset, kDateSize); }
  // The first `length` bytes of the text field (never more than the field holds),
  // up to a zero among them. The bytes after them are not covered by the checksum
  // and mean nothing: padding that changed, or a text a sender hid behind length 0.
  std::string_view text() const;

  std::uint8_t type() const { return bytes_[kTypeOffset]; }
  void set_type(std::uint8_t t) { bytes_[kTypeOffset] = t; }
  std::uint16_t length() const;
  void set_length(std::uint16_t n);
  std::uint32_t checksum() const;
  void set_checksum(std::uint32_t sum);

  // The whole record as it lies on the wire (plain) and in files.
  std::span<std::uint8_t, kPacketSize> raw() { return bytes_; }
  std::span<const std::uint8_t, kPacketSize> raw() const { return bytes_; }
  // The full 1024-byte text field, for checksums and tests.
  std::span<const std::uint8_t, kTextSize> text_field() const {
    return std::span<const std::uint8_t, kPacketSize>(bytes_).subspan<kTextOffset, kTextSize>();
  }
  std::span<std::uint8_t, kTextSize> text_field() {
    return std::span<std::uint8_t, kPacketSize>(bytes_).subspan<kTextOffset, kTextSize>();
  }

  friend bool operator==(const packet&, const packet&) = default;

 private:
  std::string_view Field(std::size_t offset, std::size_t size) const;
  std::array<std::uint8_t, kPacketSize> bytes_{};
};

using PacketPtr = std::unique_ptr<packet>;

// Constructor: zeroes number and date, type, length and checksum; text untouched.
packet& PacketInit(packet& p);
// A new heap record, initialised.
PacketPtr PacketNew();
// Destructor of a heap record.
void PacketFree(PacketPtr& p);
// The same clearing as PacketInit, on a packet in use.
void PacketClear(packet& p);
// True when `length` is at most 1024 and the checksum over the first `length`
// bytes of text matches. Every record taken from the wire or a file passes it.
bool PacketVerify(const packet& p);
// Setters copy the bytes given and clip silently: 24, 19 and 1024 bytes.
void PacketSetNumber(packet& p, std::string_view source);
void PacketSetDate(packet& p, std::string_view source);
// Also sets length and checksum, so a packet whose text is set here always verifies.
void PacketSetText(packet& p, std::string_view source);
