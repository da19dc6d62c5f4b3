#include "server/queue_file.h"

#include <cerrno>

#include "platform/file_io.h"
#include "protocol/message_file.h"
#include "protocol/message_file_appender.h"

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
  if (records.empty()) return true;
  MessageFileAppender file(SetAsideFile(path));
  file.Append(records);
  return file.Flush();
}

bool SaveQueueFile(const std::string& path, PacketQueue& queue) {
  if (queue.empty()) return true;
  const std::string image =
      MessageFileImage(queue.size(), [&](std::size_t i) -> const packet& { return *queue[i]; });
  if (!WriteFileAtomically(path, image)) return false;
  queue.clear();
  return true;
}
