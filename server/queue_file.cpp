#include "server/queue_file.h"

#include "platform/file_io.h"
#include "protocol/message_file.h"

void LoadQueueFile(const std::string& path, PacketQueue& queue) {
  for (const packet& record : ReadMessageFile(path)) {
    PacketPtr p = PacketNew();
    *p = record;
    queue.push_back(std::move(p));
  }
}

bool SaveQueueFile(const std::string& path, PacketQueue& queue) {
  if (queue.empty()) return true;
  std::string image;
  image.reserve(queue.size() * kPacketSize);
  while (!queue.empty()) {
    PacketPtr p = std::move(queue.front());
    queue.pop_front();
    const auto raw = p->raw();
    image.append(reinterpret_cast<const char*>(raw.data()), raw.size());
  }
  return WriteFileAtomically(path, image);
}
