#include "tests/support/wait_until.h"

#include <algorithm>
#include <thread>

namespace {

constexpr std::chrono::milliseconds kLookEvery(2);

std::function<void(std::chrono::milliseconds)>& BetweenLooks() {
  static std::function<void(std::chrono::milliseconds)> wait = [](std::chrono::milliseconds pause) {
    std::this_thread::sleep_for(pause);
  };
  return wait;
}

}  // namespace

bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!condition()) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
    if (left <= std::chrono::milliseconds::zero()) return false;
    BetweenLooks()(std::min(left, kLookEvery));
  }
  return true;
}

void SetWaitBetweenLooks(std::function<void(std::chrono::milliseconds)> wait) { BetweenLooks() = std::move(wait); }
