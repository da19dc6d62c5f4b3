#include "serial/base/text_file.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

#include "platform/errno_map.h"
#include "serial/base/result_codes.h"

namespace {

// The I/O code of a failed call. A full disk (or quota) is the run-time's own
// "Disk is full"; a file that cannot be made for want of its folder is "Path
// not found", not the "File not found" that the same error means elsewhere.
std::int32_t IoCode(int err, bool creating) {
  if (err == ENOSPC || err == EDQUOT) return ecDiskFull;
  if (err == ENOENT && creating) return ecPathNotFound;
  return -SysErrorFromErrno(err);
}

}  // namespace

TextFile::TextFile(std::size_t buffer_size) : buffer_(buffer_size > 0 ? buffer_size : 1) {}

TextFile::~TextFile() {
  if (fd_ >= 0) Close();
}

std::int32_t TextFile::Open(int flags) {
  if (fd_ >= 0) Close();
  error_ = 0;
  used_ = 0;
  if (name_.empty()) return ecNotAssigned;
  const int fd = ::open(name_.c_str(), flags | O_WRONLY | O_CLOEXEC, 0666);
  if (fd < 0) return IoCode(errno, (flags & O_CREAT) != 0);
  fd_ = fd;
  return ecOK;
}

std::int32_t TextFile::Rewrite() { return Open(O_CREAT | O_TRUNC); }

std::int32_t TextFile::Append() { return Open(O_APPEND); }

void TextFile::Fail(std::int32_t code) {
  if (error_ == 0) error_ = code;
}

void TextFile::Flush() {
  std::size_t done = 0;
  while (error_ == 0 && done < used_) {
    const ssize_t n = ::write(fd_, buffer_.data() + done, used_ - done);
    if (n > 0)
      done += static_cast<std::size_t>(n);
    else if (n == 0)
      Fail(ecDiskFull);  // nothing taken and no reason given: no room
    else if (errno != EINTR)
      Fail(IoCode(errno, false));
  }
  used_ = 0;
}

std::int32_t TextFile::Write(std::string_view text) {
  if (fd_ < 0) return ecNotOpen;
  while (error_ == 0 && !text.empty()) {
    if (used_ == buffer_.size()) Flush();
    const std::size_t n = std::min(text.size(), buffer_.size() - used_);
    text.copy(buffer_.data() + used_, n);
    used_ += n;
    text.remove_prefix(n);
  }
  return error_;
}

std::int32_t TextFile::WriteLn(std::string_view text) {
  Write(text);
  return Write("\r\n");
}

std::int32_t TextFile::Close() {
  if (fd_ < 0) return ecNotOpen;
  Flush();
  if (::close(fd_) != 0) Fail(IoCode(errno, false));
  fd_ = -1;
  return error_;
}

void AssignFile(TextFile& file, std::string_view name) { file.name_ = std::string(name); }

void Assign(TextFile& file, std::string_view name) { AssignFile(file, name); }
