#include "server/shutdown_signals.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <iterator>
#include <unistd.h>

namespace {

constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};
volatile sig_atomic_t writeFd = -1;
struct sigaction previous[sizeof kSignals / sizeof kSignals[0]];

extern "C" void OnSignal(int) {
  const int saved = errno;
  const char byte = 1;
  if (writeFd >= 0) {
    const ssize_t n = ::write(writeFd, &byte, 1);  // a full pipe already says enough
    (void)n;
  }
  errno = saved;
}

}  // namespace

ShutdownSignals::ShutdownSignals() {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) return;
  readFd_ = fds[0];
  writeFd = fds[1];
  struct sigaction sa {};
  sa.sa_handler = OnSignal;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = SA_RESTART;
  for (std::size_t i = 0; i < std::size(kSignals); ++i) ::sigaction(kSignals[i], &sa, &previous[i]);
}

ShutdownSignals::~ShutdownSignals() {
  if (readFd_ < 0) return;
  for (std::size_t i = 0; i < std::size(kSignals); ++i) ::sigaction(kSignals[i], &previous[i], nullptr);
  const int w = writeFd;
  writeFd = -1;
  ::close(w);
  ::close(readFd_);
}

bool ShutdownSignals::Take() {
  bool any = false;
  char buf[64];
  while (readFd_ >= 0 && ::read(readFd_, buf, sizeof buf) > 0) any = true;
  return any;
}
