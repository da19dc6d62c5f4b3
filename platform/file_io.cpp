#include "platform/file_io.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

std::optional<std::string> ReadWholeFile(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  std::string data;
  char buf[65536];
  for (;;) {
    const ssize_t n = ::read(fd, buf, sizeof buf);
    if (n > 0) { data.append(buf, static_cast<std::size_t>(n)); continue; }
    if (n < 0 && errno == EINTR) continue;
    const int error = errno;
    ::close(fd);
    if (n < 0) {
      errno = error;
      return std::nullopt;
    }
    return data;
  }
}

bool SyncFolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  // EINVAL: a file system that has nothing to flush for a folder.
  const bool ok = ::fsync(fd) == 0 || errno == EINVAL;
  const int error = errno;
  ::close(fd);
  errno = error;
  return ok;
}

FileWrittenAside::FileWrittenAside(std::string path) : path_(std::move(path)), aside_(path_ + ".tmp") {
  fd_ = ::open(aside_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd_ < 0) error_ = errno;
  made_ = fd_ >= 0;
}

FileWrittenAside::~FileWrittenAside() {
  if (fd_ >= 0) ::close(fd_);
  if (made_ && !placed_) ::unlink(aside_.c_str());
}

bool FileWrittenAside::Fail(int error) {
  if (error_ == 0) error_ = error;
  errno = error_;
  return false;
}

bool FileWrittenAside::Write(std::span<const std::uint8_t> bytes) {
  if (error_ != 0 || fd_ < 0) return Fail(EBADF);
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
    if (n > 0) done += static_cast<std::size_t>(n);
    else if (n < 0 && errno == EINTR) continue;
    else return Fail(n < 0 ? errno : EIO);
  }
  return true;
}

bool FileWrittenAside::Finish() {
  if (error_ != 0 || fd_ < 0) return Fail(EBADF);
  const bool synced = ::fsync(fd_) == 0;
  const int syncError = errno;
  const bool closed = ::close(fd_) == 0;
  const int closeError = errno;
  fd_ = -1;
  if (!synced) return Fail(syncError);
  if (!closed) return Fail(closeError);
  return true;
}

bool FileWrittenAside::PutInPlace() {
  if (error_ != 0 || fd_ >= 0 || placed_) return Fail(EBADF);
  if (std::rename(aside_.c_str(), path_.c_str()) != 0) return Fail(errno);
  placed_ = true;
  return SyncFolderOf(path_) || Fail(errno);
}

bool WriteFileAtomically(const std::string& path, std::string_view bytes) {
  FileWrittenAside file(path);
  return file.Write(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size())) &&
         file.Finish() && file.PutInPlace();
}

ssize_t ReadAt(int fd, std::span<std::uint8_t> out, std::uint64_t offset) {
  std::size_t got = 0;
  while (got < out.size()) {
    const ssize_t n = ::pread(fd, out.data() + got, out.size() - got, static_cast<off_t>(offset + got));
    if (n > 0) got += static_cast<std::size_t>(n);
    else if (n == 0) break;
    else if (errno != EINTR) return -1;
  }
  return static_cast<ssize_t>(got);
}

std::string PathJoin(std::string_view dir, std::string_view name) {
  std::string out(dir);
  if (!out.empty() && out.back() != '/') out += '/';
  out += name;
  return out;
}
