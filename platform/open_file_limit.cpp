#include "platform/open_file_limit.h"

#include <fstream>
#include <sys/resource.h>

namespace {

// The most descriptors a process can have, whatever its limit says.
rlim_t SystemCeiling() {
  std::ifstream file("/proc/sys/fs/nr_open");
  unsigned long value = 0;
  return file >> value && value > 0 ? static_cast<rlim_t>(value) : 1024 * 1024;
}

}  // namespace

unsigned long RaiseOpenFileLimit() {
  rlimit limit{};
  if (::getrlimit(RLIMIT_NOFILE, &limit) != 0) return 0;
  const rlim_t wanted = limit.rlim_max == RLIM_INFINITY ? SystemCeiling() : limit.rlim_max;
  if (limit.rlim_cur == RLIM_INFINITY || limit.rlim_cur >= wanted) return static_cast<unsigned long>(limit.rlim_cur);
  rlimit raised = limit;
  raised.rlim_cur = wanted;
  if (::setrlimit(RLIMIT_NOFILE, &raised) == 0) limit = raised;
  return static_cast<unsigned long>(limit.rlim_cur);
}
