#include "platform/record_file_appender.h"

#include <cerrno>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/file_io.h"

namespace {

// Appenders of one file may overlap (two receive threads for a moment after a
// reconnect, client threads setting hand-ins aside): each append finds the end of
// the file anew, and they take turns.
std::mutex& AppendLock() {
  static std::mutex lock;
  return lock;
}

}  // namespace

RecordFileAppender::~RecordFileAppender() {
  // Whoever reads errno after the last Flush (why a record could not be kept)
  // must not find this one's.
  const int error = errno;
  Flush();
  errno = error;
}

void RecordFileAppender::Append(std::span<const std::uint8_t> bytes) { AppendRecords(kAtEnd, bytes); }

void RecordFileAppender::AppendAt(std::uint64_t at, std::span<const std::uint8_t> bytes) { AppendRecords(at, bytes); }

void RecordFileAppender::AppendRecords(std::uint64_t at, std::span<const std::uint8_t> bytes) {
  if (bytes.empty()) return;
  unflushed_ += bytes.size() / recordSize_;
  std::lock_guard guard(AppendLock());
  if (!WriteAt(at, bytes) && error_ == 0) error_ = errno != 0 ? errno : EIO;
}

bool RecordFileAppender::Open() {
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

bool RecordFileAppender::WriteAt(std::uint64_t at, std::span<const std::uint8_t> bytes) {
  struct stat st {};
  if (!Open() || ::fstat(fd_, &st) != 0) return false;
  const auto record = static_cast<off_t>(recordSize_);
  const off_t whole = st.st_size - st.st_size % record;
  if (at != kAtEnd && static_cast<std::uint64_t>(whole / record) < at) {
    errno = EIO;  // records this writer counted on are gone
    return false;
  }
  const off_t end = at == kAtEnd ? whole : static_cast<off_t>(at) * record;
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

bool RecordFileAppender::Flush() {
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
