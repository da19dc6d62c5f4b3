#include "platform/poll_wait.h"

#include <cerrno>
#include <algorithm>
#include <chrono>

int PollFor(pollfd* fds, nfds_t count, std::uint32_t timeoutMs) {
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  int wait = timeoutMs == kInfinite ? -1 : static_cast<int>(std::min<std::uint32_t>(timeoutMs, 0x7FFFFFFF));
  for (;;) {
    const int r = poll(fds, count, wait);
    if (r >= 0 || errno != EINTR) return r;
    if (timeoutMs != kInfinite) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
      wait = left.count() > 0 ? static_cast<int>(left.count()) : 0;
    }
  }
}
