#include "tests/support/denied_access.h"

#include <fcntl.h>
#include <linux/capability.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

constexpr unsigned kFileOverride = (1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH);
constexpr rlim_t kFewDescriptors = 256;

struct Caps {
  __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
  __user_cap_data_struct data[2] = {};
};

bool Get(Caps& caps) { return ::syscall(SYS_capget, &caps.header, caps.data) == 0; }
bool Set(Caps& caps) { return ::syscall(SYS_capset, &caps.header, caps.data) == 0; }

}  // namespace

WithoutFileOverride::WithoutFileOverride() {
  Caps caps;
  if (!Get(caps) || (caps.data[0].effective & kFileOverride) == 0) return;  // not held: nothing to drop
  saved_[0] = caps.data[0].effective;
  saved_[1] = caps.data[1].effective;
  caps.data[0].effective &= ~kFileOverride;
  dropped_ = Set(caps);
}

WithoutFileOverride::~WithoutFileOverride() {
  Caps caps;
  if (!dropped_ || !Get(caps)) return;
  caps.data[0].effective = saved_[0];
  caps.data[1].effective = saved_[1];
  Set(caps);  // still permitted: only the effective set was lowered
}

NoDescriptorLeft::NoDescriptorLeft() {
  rlimit limit{};
  ::getrlimit(RLIMIT_NOFILE, &limit);
  savedLimit_ = limit.rlim_cur;
  if (limit.rlim_cur > kFewDescriptors) {
    limit.rlim_cur = kFewDescriptors;
    ::setrlimit(RLIMIT_NOFILE, &limit);
  }
  for (int fd; (fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC)) >= 0;) taken_.push_back(fd);
}

NoDescriptorLeft::~NoDescriptorLeft() {
  for (const int fd : taken_) ::close(fd);
  rlimit limit{};
  ::getrlimit(RLIMIT_NOFILE, &limit);
  limit.rlim_cur = static_cast<rlim_t>(savedLimit_);
  ::setrlimit(RLIMIT_NOFILE, &limit);
}
