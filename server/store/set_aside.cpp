#include "server/store/set_aside.h"

#include <cerrno>
#include <fcntl.h>
#include <span>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "platform/file_io.h"
#include "protocol/message_file_appender.h"

namespace {

// Records copied at a time.
constexpr std::size_t kBatch = 256;

// The bytes at `offset` of the queue file, which is shorter only when something
// else cut it since it was loaded.
bool ReadBack(int fd, std::uint64_t offset, std::span<std::uint8_t> out) {
  const ssize_t n = ReadAt(fd, out, offset);
  if (n >= 0 && static_cast<std::size_t>(n) != out.size()) errno = EIO;
  return n >= 0 && static_cast<std::size_t>(n) == out.size();
}

// The rejected records, read back from the queue file, into the appender.
bool CopyRejects(const std::string& queuePath, const QueueFileRejects& rejects, MessageFileAppender& out) {
  const int fd = ::open(queuePath.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) return false;
  std::vector<packet> batch;
  batch.reserve(kBatch);
  bool ok = true;
  for (std::size_t i = 0; ok && i < rejects.offsets.size(); ++i) {
    ok = ReadBack(fd, rejects.offsets[i], batch.emplace_back().raw());
    if (ok && (batch.size() == kBatch || i + 1 == rejects.offsets.size())) {
      out.Append(batch);
      batch.clear();
    }
  }
  if (ok && rejects.tailBytes != 0) {
    packet tail;  // zero bytes after the fragment
    ok = ReadBack(fd, rejects.tailOffset, tail.raw().first(rejects.tailBytes));
    if (ok) out.Append(tail);
  }
  const int error = errno;
  ::close(fd);
  errno = error;
  return ok;
}

}  // namespace

std::string SetAsideFile(const std::string& queuePath) { return queuePath + ".bad"; }

bool SetAsideRejects(const std::string& queuePath, const QueueFileRejects& rejects, SetAsideMark& mark) {
  const std::string path = SetAsideFile(queuePath);
  struct stat st {};
  mark.existed = ::lstat(path.c_str(), &st) == 0;
  const auto size = mark.existed ? static_cast<std::uint64_t>(st.st_size) : 0;
  mark.size = size - size % kPacketSize;
  if (rejects.empty()) return true;
  MessageFileAppender out(path);
  const bool copied = CopyRejects(queuePath, rejects, out);
  int error = errno;
  const bool flushed = out.Flush();
  if (copied && flushed) return true;
  if (copied) error = errno;
  UndoSetAside(queuePath, mark);
  errno = error;
  return false;
}

void UndoSetAside(const std::string& queuePath, const SetAsideMark& mark) {
  const std::string path = SetAsideFile(queuePath);
  // A link or anything else that is no regular file was never appended to: left alone.
  if (mark.existed) TruncateRegularFile(path, mark.size);
  else ::unlink(path.c_str());
}

bool SetAsidePacket(const std::string& queuePath, const packet& p) {
  MessageFileAppender out(SetAsideFile(queuePath));
  out.Append(p);
  return out.Flush();
}
