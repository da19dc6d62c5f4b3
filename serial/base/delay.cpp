#include "serial/base/delay.h"

#include <thread>

#include "platform/message_window.h"
#include "serial/base/time_base.h"

std::uint32_t SafeYield() {
  WindowMessage m;
  if (!PeekWindowMessage(m)) return 0;
  // A quit request is never dispatched, even one posted to a window: it goes
  // back to the thread as its own quit request, for its loop to end on.
  if (m.message == kQuitMessage)
    PostQuitRequest(static_cast<int>(m.wparam));
  else
    DispatchWindowMessage(m);
  return (m.message & 0xFFFFu) | ((m.window & 0xFFFFu) << 16);
}

namespace {

bool Sleep(std::chrono::milliseconds ms) {
  std::this_thread::sleep_for(ms);
  return false;
}

}  // namespace

// Waits block on what is awaited: with Yield the thread's message queue, which
// a message or the end of the timer wakes; without it, only the timer.
std::uint32_t DelayTicks(std::int32_t ticks, bool yield) {
  if (ticks <= 0) return 0;
  EventTimer timer;
  NewTimer(timer, ticks);
  std::uint32_t result = 0;
  for (;;) {
    if (yield) result = SafeYield();
    if (result == kQuitMessage) return result;
    const std::uint32_t left = MSecsToExpiry(timer);
    if (left == 0) return result;
    AdPassTime(left, yield ? &WaitWindowMessage : &Sleep);
  }
}

std::uint32_t DelayMS(std::uint32_t msecs) {
  std::uint32_t t0 = AdTimeGetTime();
  std::uint32_t total = 0;
  while (total < msecs) {
    AdPassTime(msecs - total, &Sleep);
    const std::uint32_t t = AdTimeGetTime();
    const std::uint32_t step = t - t0;  // unsigned: the clock's wrap costs nothing
    total = step >= msecs - total ? msecs : total + step;
    t0 = t;
  }
  return msecs;
}
