#include "protocol/message_file.h"

#include <algorithm>

#include "platform/file_io.h"

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

std::string MessageFileImage(std::size_t count, const std::function<const packet&(std::size_t)>& record) {
  std::string bytes;
  bytes.reserve(count * kPacketSize);
  for (std::size_t i = 0; i < count; ++i) {
    const auto raw = record(i).raw();
    bytes.append(reinterpret_cast<const char*>(raw.data()), raw.size());
  }
  return bytes;
}

bool WriteMessageFile(const std::string& path, std::span<const packet> records) {
  return WriteFileAtomically(path, MessageFileImage(records.size(), [&](std::size_t i) -> const packet& {
                               return records[i];
                             }));
}
