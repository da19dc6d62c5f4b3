#include "platform/single_instance.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include "platform/file_io.h"

SingleInstance::SingleInstance(const std::string& name, const std::string& lockDir) {
  std::string dir = lockDir;
  if (dir.empty()) {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    dir = runtime && *runtime ? runtime : "/tmp";
  }
  const std::string path = PathJoin(dir, name + "-" + std::to_string(::getuid()) + ".lock");
  fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd_ < 0) {
    // Without a lock file we cannot tell; let the program run rather than refuse.
    owned_ = true;
    return;
  }
  int rc;
  do rc = ::flock(fd_, LOCK_EX | LOCK_NB); while (rc != 0 && errno == EINTR);
  owned_ = rc == 0;
  if (!owned_) { ::close(fd_); fd_ = -1; }
}

SingleInstance::~SingleInstance() {
  if (fd_ >= 0) ::close(fd_);
}
