#include "protocol/message_file_appender.h"

#include <cerrno>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Two receive threads may overlap for a moment after a reconnect: each append
// finds the end of the file anew, and they take turns.
std::mutex& AppendLock() {
  static std::mutex lock;
  return lock;
}

}  // namespace

MessageFileAppender::~MessageFileAppender() { Flush(); }

void MessageFileAppender::Append(const packet& p) {
  ++unflushed_;
  std::lock_guard guard(AppendLock());
  if (!AppendAtEnd(p)) failed_ = true;
}

bool MessageFileAppender::AppendAtEnd(const packet& p) {
  if (fd_ < 0) fd_ = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
  struct stat st {};
  if (fd_ < 0 || ::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) return false;
  const off_t end = st.st_size - st.st_size % static_cast<off_t>(kPacketSize);
  if (end != st.st_size && ::ftruncate(fd_, end) != 0) return false;
  const auto bytes = p.raw();
  std::size_t written = 0;
  while (written < bytes.size()) {
    const ssize_t n = ::pwrite(fd_, bytes.data() + written, bytes.size() - written, end + static_cast<off_t>(written));
    if (n <= 0 && !(n < 0 && errno == EINTR)) {
      (void)!::ftruncate(fd_, end);  // back to the whole records; the failure is what counts
      return false;
    }
    if (n > 0) written += static_cast<std::size_t>(n);
  }
  return true;
}

bool MessageFileAppender::Flush() {
  bool ok = !failed_;
  if (fd_ >= 0) {
    ok = ::fsync(fd_) == 0 && ok;
    ok = ::close(fd_) == 0 && ok;
    fd_ = -1;
  }
  unflushed_ = 0;
  failed_ = false;
  return ok;
}
