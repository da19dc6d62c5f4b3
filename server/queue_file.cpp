#include "server/queue_file.h"

#include <cerrno>

#include "platform/file_io.h"
#include "protocol/message_file.h"

bool LoadQueueFile(const std::string& path, PacketQueue& queue, std::vector<packet>& failed) {
  const auto bytes = ReadWholeFile(path);
  if (!bytes) return errno == ENOENT;
  for (const packet& record : MessageRecords(*bytes)) {
    if (!PacketVerify(record)) {
      failed.push_back(record);
      continue;
    }
    PacketPtr p = PacketNew();
    *p = record;
    queue.push_back(std::move(p));
  }
  return true;
}

std::string SetAsideFile(const std::string& path) { return path + ".bad"; }

bool SetAsideRecords(const std::string& path, std::span<const packet> records) {
  return records.empty() || AppendMessageFile(SetAsideFile(path), records);
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
