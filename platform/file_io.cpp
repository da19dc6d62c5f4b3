#include "platform/file_io.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

int CloseKeepingErrno(int fd) {
  const int error = errno;
  ::close(fd);
  errno = error;
  return -1;
}

// An open descriptor that is a regular file is kept; anything else is closed
// with errno EINVAL (EISDIR for a folder).
int RegularOnly(int fd) {
  if (fd < 0) return -1;
  struct stat st {};
  if (::fstat(fd, &st) != 0) return CloseKeepingErrno(fd);
  if (S_ISREG(st.st_mode)) return fd;
  ::close(fd);
  errno = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
  return -1;
}

FileContents Failed(int error) {
  FileContents out;
  out.status = ReadStatus::Failed;
  out.error = error;
  return out;
}

FileContents Status(ReadStatus status) {
  FileContents out;
  out.status = status;
  return out;
}

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

// Makes `aside` anew for writing: what is left of an earlier write (or a link put
// there) is removed first, and the name is then taken with O_EXCL, which never
// follows a link. A folder there is not removed.
int CreateAside(const std::string& aside, std::optional<mode_t> keepMode) {
  struct stat st {};
  if (::lstat(aside.c_str(), &st) == 0) {
    if (S_ISDIR(st.st_mode)) {
      errno = EISDIR;
      return -1;
    }
    if (::unlink(aside.c_str()) != 0 && errno != ENOENT) return -1;
  }
  const int fd = ::open(aside.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
  if (fd < 0) return -1;
  // The mode given to open is cut by the umask; the one of a file replaced is kept whole.
  if (keepMode && ::fchmod(fd, *keepMode) != 0) {
    CloseKeepingErrno(fd);
    const int error = errno;
    ::unlink(aside.c_str());
    errno = error;
    return -1;
  }
  return fd;
}

// The permissions of the regular file being replaced, if there is one.
std::optional<mode_t> ModeToKeep(const std::string& path) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) return st.st_mode & 07777;
  return std::nullopt;
}

std::string ErrorText(int error) {
  char buf[256] = {};
  // GNU strerror_r may return a static text instead of filling buf.
  const char* text = ::strerror_r(error, buf, sizeof buf);
  return text ? text : "Unknown error";
}

}  // namespace

FileContents ReadFileContents(const std::string& path) {
  // Looked at before it is opened: opening a FIFO would wait for a writer for good.
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return errno == ENOENT ? Status(ReadStatus::Missing) : Failed(errno);
  if (!S_ISREG(st.st_mode)) return Status(ReadStatus::NotAFile);
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) return errno == ENOENT ? Status(ReadStatus::Missing) : Failed(errno);
  if (RegularOnly(fd) < 0) {  // put in its place meanwhile
    return errno == EISDIR || errno == EINVAL ? Status(ReadStatus::NotAFile) : Failed(errno);
  }
  FileContents out;
  out.status = ReadStatus::Read;
  char buf[65536];
  for (;;) {
    const ssize_t n = ::read(fd, buf, sizeof buf);
    if (n > 0) {
      out.bytes.append(buf, static_cast<std::size_t>(n));
    } else if (n == 0) {
      ::close(fd);
      return out;
    } else if (errno != EINTR) {
      const int error = errno;
      ::close(fd);
      return Failed(error);
    }
  }
}

std::string ReadFailureReason(const FileContents& read) {
  switch (read.status) {
    case ReadStatus::NotAFile: return "it is not a regular file";
    case ReadStatus::Missing: return ErrorText(ENOENT);
    default: return ErrorText(read.error);
  }
}

std::optional<std::string> ReadWholeFile(const std::string& path) {
  FileContents read = ReadFileContents(path);
  switch (read.status) {
    case ReadStatus::Read: return std::move(read.bytes);
    case ReadStatus::Missing: errno = ENOENT; break;
    case ReadStatus::NotAFile: {
      struct stat st {};
      errno = ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
      break;
    }
    case ReadStatus::Failed: errno = read.error; break;
  }
  return std::nullopt;
}

bool SyncFolderOf(const std::string& path) {
  const int fd = ::open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  // EINVAL: a file system that has nothing to flush for a folder.
  const bool ok = ::fsync(fd) == 0 || errno == EINVAL;
  const int error = errno;
  ::close(fd);
  errno = error;
  return ok;
}

std::string AsideFile(const std::string& path) { return path + ".tmp"; }

FileWrittenAside::FileWrittenAside(std::string path) : path_(std::move(path)), aside_(AsideFile(path_)) {
  fd_ = CreateAside(aside_, ModeToKeep(path_));
  made_ = fd_ >= 0;
  if (!made_) Fail(errno, aside_);
}

FileWrittenAside::~FileWrittenAside() {
  if (fd_ >= 0) ::close(fd_);
  if (made_ && !placed_) ::unlink(aside_.c_str());
}

bool FileWrittenAside::Fail(int error, const std::string& entry) {
  if (error_ == 0) {
    error_ = error;
    failedEntry_ = entry;
  }
  errno = error_;
  return false;
}

bool FileWrittenAside::Write(std::span<const std::uint8_t> bytes) {
  if (error_ != 0 || fd_ < 0) return Fail(EBADF, aside_);
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
    if (n > 0) done += static_cast<std::size_t>(n);
    else if (n < 0 && errno == EINTR) continue;
    else return Fail(n < 0 ? errno : EIO, aside_);
  }
  return true;
}

bool FileWrittenAside::Finish() {
  if (error_ != 0 || fd_ < 0) return Fail(EBADF, aside_);
  const bool synced = ::fsync(fd_) == 0;
  const int syncError = errno;
  const bool closed = ::close(fd_) == 0;
  const int closeError = errno;
  fd_ = -1;
  if (!synced) return Fail(syncError, aside_);
  if (!closed) return Fail(closeError, aside_);
  return true;
}

bool FileWrittenAside::PutInPlace() {
  if (error_ != 0 || fd_ >= 0 || placed_) return Fail(EBADF, aside_);
  // rename replaces a link in the file's place, never what it points to.
  if (std::rename(aside_.c_str(), path_.c_str()) != 0) return Fail(errno, path_);
  placed_ = true;
  return SyncFolderOf(path_) || Fail(errno, FolderOf(path_));
}

bool WriteFileAtomically(const std::string& path, std::string_view bytes, std::string* failedEntry) {
  FileWrittenAside file(path);
  const bool ok = file.Write(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size())) &&
                  file.Finish() && file.PutInPlace();
  if (!ok && failedEntry) *failedEntry = file.failedEntry();
  return ok;
}

int OpenForAppend(const std::string& path) {
  // O_NONBLOCK: a FIFO in the file's place fails at once instead of waiting for a reader.
  return RegularOnly(::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY, 0644));
}

bool TruncateRegularFile(const std::string& path, std::uint64_t size) {
  const int fd = RegularOnly(::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY));
  if (fd < 0) return false;
  const bool ok = ::ftruncate(fd, static_cast<off_t>(size)) == 0;
  const int error = errno;
  ::close(fd);
  errno = error;
  return ok;
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
