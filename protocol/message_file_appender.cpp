#include "protocol/message_file_appender.h"

#include <cerrno>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/file_io.h"
#include "protocol/message_file.h"

namespace {

// Appenders of one file may overlap (two receive threads for a moment after a
// reconnect, client threads setting hand-ins aside): each append finds the end of
// the file anew, and they take turns.
std::mutex& AppendLock() {
  static std::mutex lock;
  return lock;
}

}  // namespace

MessageFileAppender::~MessageFileAppender() { Flush(); }

void MessageFileAppender::Append(const packet& p) { AppendRecords(std::as_bytes(p.raw()), 1); }

void MessageFileAppender::Append(std::span<const packet> records) {
  if (records.empty()) return;
  const std::string image =
      MessageFileImage(records.size(), [&](std::size_t i) -> const packet& { return records[i]; });
  AppendRecords(std::as_bytes(std::span(image)), records.size());
}

void MessageFileAppender::AppendRecords(std::span<const std::byte> bytes, std::size_t count) {
  unflushed_ += count;
  std::lock_guard guard(AppendLock());
  if (!AppendAtEnd(bytes) && error_ == 0) error_ = errno != 0 ? errno : EIO;
}

bool MessageFileAppender::Open() {
  if (fd_ >= 0) return true;
  // Only a regular file, never through a link: a link in its place would have the
  // records, and the cut of a torn one, land in a file elsewhere.
  fd_ = OpenForAppend(path_);
  if (fd_ < 0) return false;
  struct stat st {};
  if (::fstat(fd_, &st) != 0) {
    const int error = errno;
    ::close(fd_);
    fd_ = -1;
    errno = error;
    return false;
  }
  wasEmpty_ = st.st_size == 0;
  return true;
}

bool MessageFileAppender::AppendAtEnd(std::span<const std::byte> bytes) {
  struct stat st {};
  if (!Open() || ::fstat(fd_, &st) != 0) return false;
  const off_t end = st.st_size - st.st_size % static_cast<off_t>(kPacketSize);
  if (end != st.st_size && ::ftruncate(fd_, end) != 0) return false;
  std::size_t written = 0;
  while (written < bytes.size()) {
    const ssize_t n = ::pwrite(fd_, bytes.data() + written, bytes.size() - written, end + static_cast<off_t>(written));
    if (n > 0) {
      written += static_cast<std::size_t>(n);
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else {
      const int error = n < 0 ? errno : EIO;
      (void)!::ftruncate(fd_, end);  // back to the whole records; the failure is what counts
      errno = error;
      return false;
    }
  }
  return true;
}

bool MessageFileAppender::Flush() {
  int error = error_;
  if (fd_ >= 0) {
    if (::fsync(fd_) != 0 && error == 0) error = errno;
    if (::close(fd_) != 0 && error == 0) error = errno;
    fd_ = -1;
    if (error == 0 && wasEmpty_ && !SyncFolderOf(path_)) error = errno;
  }
  unflushed_ = 0;
  error_ = 0;
  errno = error;
  return error == 0;
}
