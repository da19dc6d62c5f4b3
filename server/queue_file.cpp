#include "server/queue_file.h"

#include <algorithm>
#include <cerrno>

#include "platform/file_io.h"

bool LoadQueueFile(const std::string& path, PacketQueue& queue) {
  const auto bytes = ReadWholeFile(path);
  if (!bytes) return errno == ENOENT;
  const auto* data = reinterpret_cast<const std::uint8_t*>(bytes->data());
  for (std::size_t at = 0; at + kPacketSize <= bytes->size(); at += kPacketSize) {
    PacketPtr p = PacketNew();
    std::copy_n(data + at, kPacketSize, p->raw().begin());
    queue.push_back(std::move(p));
  }
  return true;
}

bool SaveQueueFile(const std::string& path, PacketQueue& queue) {
  if (queue.empty()) return true;
  std::string image;
  image.reserve(queue.size() * kPacketSize);
  for (const PacketPtr& p : queue) {
    const auto raw = p->raw();
    image.append(reinterpret_cast<const char*>(raw.data()), raw.size());
  }
  if (!WriteFileAtomically(path, image)) return false;
  queue.clear();
  return true;
}
