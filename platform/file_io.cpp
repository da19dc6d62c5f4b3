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

bool WriteFileAtomically(const std::string& path, std::string_view bytes) {
  const std::string aside = path + ".tmp";
  const int fd = ::open(aside.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  int error = 0;  // the first failure's errno
  std::size_t done = 0;
  while (error == 0 && done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n > 0) done += static_cast<std::size_t>(n);
    else if (n < 0 && errno == EINTR) continue;
    else error = n < 0 ? errno : EIO;
  }
  if (error == 0 && ::fsync(fd) != 0) error = errno;
  if (::close(fd) != 0 && error == 0) error = errno;
  if (error == 0 && std::rename(aside.c_str(), path.c_str()) == 0) return SyncFolderOf(path);
  if (error == 0) error = errno;
  ::unlink(aside.c_str());
  errno = error;
  return false;
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
