#include "server/store/queue_file.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/file_io.h"
#include "protocol/message_file.h"
#include "server/store/modem_number.h"

namespace {

// Records read at a time.
constexpr std::size_t kBatch = 256;

std::optional<RecordFault> Fault(packet& p, bool toSend) {
  if (!PacketVerify(p)) return RecordFault::Check;
  if (p.type() != kPacketMessage) return RecordFault::NotAMessage;
  if (toSend) {
    const auto number = ModemNumber(p.number());
    if (!number) return RecordFault::Number;
    PacketSetNumber(p, *number);
  }
  return std::nullopt;
}

QueueFileLoad Unreadable(int fd) {
  const int error = errno;
  ::close(fd);
  errno = error;
  return QueueFileLoad::Unreadable;
}

}  // namespace

QueueFileLoad LoadQueueFile(const std::string& path, bool toSend, PacketQueue& queue, QueueFileRejects& rejects) {
  // Looked at before it is opened: opening a FIFO would wait for a writer for good.
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return errno == ENOENT ? QueueFileLoad::Missing : QueueFileLoad::Unreadable;
  if (!S_ISREG(st.st_mode)) return QueueFileLoad::NotAFile;
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) return QueueFileLoad::Unreadable;
  if (::fstat(fd, &st) != 0) return Unreadable(fd);
  if (!S_ISREG(st.st_mode)) {  // put in its place meanwhile
    ::close(fd);
    return QueueFileLoad::NotAFile;
  }

  std::vector<PacketPtr> sound;
  QueueFileRejects found;
  std::vector<std::uint8_t> batch(kBatch * kPacketSize);
  for (std::uint64_t offset = 0;;) {
    const ssize_t n = ReadAt(fd, batch, offset);
    if (n < 0) return Unreadable(fd);
    const std::size_t bytes = static_cast<std::size_t>(n);
    const std::size_t whole = bytes / kPacketSize;
    for (std::size_t i = 0; i < whole; ++i) {
      PacketPtr p = PacketNew();
      std::copy_n(batch.begin() + static_cast<std::ptrdiff_t>(i * kPacketSize), kPacketSize, p->raw().begin());
      if (const auto fault = Fault(*p, toSend)) {
        found.offsets.push_back(offset + i * kPacketSize);
        ++found.counts[static_cast<std::size_t>(*fault)];
      } else {
        sound.push_back(std::move(p));
      }
    }
    if (bytes < batch.size()) {
      if (bytes % kPacketSize != 0) {
        found.tailOffset = offset + whole * kPacketSize;
        found.tailBytes = bytes % kPacketSize;
        ++found.counts[static_cast<std::size_t>(RecordFault::CutShort)];
      }
      break;
    }
    offset += bytes;
  }
  ::close(fd);
  for (PacketPtr& p : sound) queue.push_back(std::move(p));
  rejects = std::move(found);
  return QueueFileLoad::Loaded;
}

bool SaveQueueFile(const std::string& path, PacketQueue& queue, std::string* failedEntry) {
  if (queue.empty()) return true;
  const std::string image =
      MessageFileImage(queue.size(), [&](std::size_t i) -> const packet& { return *queue[i]; });
  if (!WriteFileAtomically(path, image, failedEntry)) return false;
  queue.clear();
  return true;
}
