#include "server/store/queue_file.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/file_io.h"
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

QueueFileLoad OpenStoredFile(const std::string& path, int& fd) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0) return errno == ENOENT ? QueueFileLoad::Missing : QueueFileLoad::Unreadable;
  if (!S_ISREG(st.st_mode)) return QueueFileLoad::NotAFile;  // a link too: the store writes these files
  fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY | O_NOFOLLOW);
  if (fd < 0) return errno == ELOOP ? QueueFileLoad::NotAFile : QueueFileLoad::Unreadable;
  if (::fstat(fd, &st) != 0) return Unreadable(fd);
  if (!S_ISREG(st.st_mode)) {  // put in its place meanwhile
    ::close(fd);
    return QueueFileLoad::NotAFile;
  }
  return QueueFileLoad::Loaded;
}

QueueFileLoad ReadQueueFile(const std::string& path, bool toSend, const std::function<bool(std::uint64_t)>& left,
                            std::vector<FileRecord>& sound, QueueFileRejects& rejects, std::uint64_t& records) {
  int fd = -1;
  if (const QueueFileLoad opened = OpenStoredFile(path, fd); opened != QueueFileLoad::Loaded) return opened;

  std::vector<FileRecord> found;
  QueueFileRejects rejected;
  std::uint64_t whole = 0;
  std::vector<std::uint8_t> batch(kBatch * kPacketSize);
  for (std::uint64_t offset = 0;;) {
    const ssize_t n = ReadAt(fd, batch, offset);
    if (n < 0) return Unreadable(fd);
    const std::size_t bytes = static_cast<std::size_t>(n);
    const std::size_t inBatch = bytes / kPacketSize;
    for (std::size_t i = 0; i < inBatch; ++i, ++whole) {
      if (left(whole)) continue;
      PacketPtr p = PacketNew();
      std::copy_n(batch.begin() + static_cast<std::ptrdiff_t>(i * kPacketSize), kPacketSize, p->raw().begin());
      if (const auto fault = Fault(*p, toSend)) {
        rejected.offsets.push_back(whole * kPacketSize);
        ++rejected.counts[static_cast<std::size_t>(*fault)];
      } else {
        found.push_back({whole, std::move(p)});
      }
    }
    if (bytes < batch.size()) {
      if (bytes % kPacketSize != 0) {
        rejected.tailOffset = whole * kPacketSize;
        rejected.tailBytes = bytes % kPacketSize;
        ++rejected.counts[static_cast<std::size_t>(RecordFault::CutShort)];
      }
      break;
    }
    offset += bytes;
  }
  ::close(fd);
  for (FileRecord& r : found) sound.push_back(std::move(r));
  rejects = std::move(rejected);
  records = whole;
  return QueueFileLoad::Loaded;
}
