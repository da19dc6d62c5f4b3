#include "protocol/message_file.h"

#include <algorithm>

#include "platform/file_io.h"

namespace {

std::string ToBytes(std::span<const packet> records) {
  std::string bytes;
  bytes.reserve(records.size() * kPacketSize);
  for (const packet& p : records) {
    const auto raw = p.raw();
    bytes.append(reinterpret_cast<const char*>(raw.data()), raw.size());
  }
  return bytes;
}

}  // namespace

std::vector<packet> ReadMessageFile(const std::string& path) {
  const auto bytes = ReadWholeFile(path);
  return bytes ? MessageRecords(*bytes) : std::vector<packet>{};
}

std::vector<packet> MessageRecords(std::string_view bytes) {
  std::vector<packet> out(bytes.size() / kPacketSize);
  for (std::size_t i = 0; i < out.size(); ++i) {
    const auto* src = reinterpret_cast<const std::uint8_t*>(bytes.data()) + i * kPacketSize;
    std::copy(src, src + kPacketSize, out[i].raw().begin());
  }
  return out;
}

bool WriteMessageFile(const std::string& path, std::span<const packet> records) {
  return WriteFileAtomically(path, ToBytes(records));
}

bool AppendMessageFile(const std::string& path, std::span<const packet> records) {
  return AppendWholeRecords(path, ToBytes(records), kPacketSize);
}
