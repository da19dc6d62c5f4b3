#include "server/shutdown_signals.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <iterator>
#include <thread>
#include <unistd.h>

namespace {

constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};
// A handler may run on any thread, at the very moment the object goes away. It
// counts itself in `handlersWriting` before it reads `writeFd`; the destructor
// takes `writeFd` away first and waits for that count to drop before it closes
// the pipe, so no handler writes to a closed descriptor, or to whatever file has
// been given its number since.
std::atomic<int> writeFd{-1};
std::atomic<int> handlersWriting{0};
static_assert(std::atomic<int>::is_always_lock_free, "used in a signal handler");
struct sigaction previous[sizeof kSignals / sizeof kSignals[0]];

extern "C" void OnSignal(int) {
  const int saved = errno;
  handlersWriting.fetch_add(1);
  if (const int fd = writeFd.load(); fd >= 0) {
    const char byte = 1;
    const ssize_t n = ::write(fd, &byte, 1);  // a full pipe already says enough
    (void)n;
  }
  handlersWriting.fetch_sub(1);
  errno = saved;
}

}  // namespace

ShutdownSignals::ShutdownSignals() {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) return;
  readFd_ = fds[0];
  writeFd.store(fds[1]);
  struct sigaction sa {};
  sa.sa_handler = OnSignal;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = SA_RESTART;
  for (std::size_t i = 0; i < std::size(kSignals); ++i) ::sigaction(kSignals[i], &sa, &previous[i]);
}

ShutdownSignals::~ShutdownSignals() {
  if (readFd_ < 0) return;
  for (std::size_t i = 0; i < std::size(kSignals); ++i) ::sigaction(kSignals[i], &previous[i], nullptr);
  const int w = writeFd.exchange(-1);
  // A handler already past its look at writeFd finishes one write: a moment.
  while (handlersWriting.load() > 0) std::this_thread::yield();
  ::close(w);
  ::close(readFd_);
}

bool ShutdownSignals::Take() {
  bool any = false;
  char buf[64];
  while (readFd_ >= 0 && ::read(readFd_, buf, sizeof buf) > 0) any = true;
  return any;
}
