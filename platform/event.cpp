#include "platform/event.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <system_error>
#include <vector>

TEvent::TEvent(bool manualReset, bool initiallySet)
    : fd_(eventfd(initiallySet ? 1 : 0, EFD_NONBLOCK | EFD_CLOEXEC)), manual_(manualReset) {
  if (fd_ < 0) throw std::system_error(errno, std::generic_category(), "eventfd");
}

TEvent::~TEvent() { close(fd_); }

void TEvent::Set() {
  const std::uint64_t one = 1;
  while (write(fd_, &one, sizeof one) < 0 && errno == EINTR) {
  }
}

void TEvent::Reset() {
  std::uint64_t count;
  while (read(fd_, &count, sizeof count) < 0 && errno == EINTR) {
  }
}

bool TEvent::Claim() {
  if (manual_) return true;
  std::uint64_t count;
  for (;;) {
    if (read(fd_, &count, sizeof count) == sizeof count) return true;
    if (errno != EINTR) return false;
  }
}

WaitResult TEvent::Wait(std::uint32_t timeoutMs) {
  TEvent* self = this;
  return WaitForAnyEvent(std::span<TEvent* const>(&self, 1), timeoutMs).Result;
}

AnyWaitResult WaitForAnyEvent(std::span<TEvent* const> events, std::uint32_t timeoutMs) {
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  std::vector<pollfd> fds(events.size());
  for (std::size_t i = 0; i < events.size(); ++i) fds[i] = {events[i]->Descriptor(), POLLIN, 0};
  std::uint32_t wait = timeoutMs;
  for (;;) {
    const int r = PollFor(fds.data(), fds.size(), wait);
    if (r < 0) return {WaitResult::Failed, 0};
    for (std::size_t i = 0; i < fds.size(); ++i)
      if ((fds[i].revents & POLLIN) && events[i]->Claim()) return {WaitResult::Signaled, i};
    if (r == 0) return {WaitResult::Timeout, 0};
    // Another wait took an auto-reset setting first: wait on for what is left.
    if (timeoutMs != kInfinite) {
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
      if (left <= 0) return {WaitResult::Timeout, 0};
      wait = static_cast<std::uint32_t>(left);
    }
  }
}
