#include "serial/delay.h"

#include "platform/message_window.h"
#include "serial/time_base.h"

std::uint32_t SafeYield() {
  WindowMessage m;
  if (!PeekWindowMessage(m)) return 0;
  if (m.message == kQuitMessage && m.window == 0)
    PostQuitRequest(static_cast<int>(m.wparam));
  else
    DispatchWindowMessage(m);
  return (m.message & 0xFFFFu) | ((m.window & 0xFFFFu) << 16);
}

std::uint32_t DelayTicks(std::int32_t ticks, bool yield) {
  if (ticks <= 0) return 0;
  EventTimer timer;
  NewTimer(timer, ticks);
  std::uint32_t result = 0;
  for (;;) {
    if (yield) result = SafeYield();
    if (result == kQuitMessage || TimerExpired(timer)) return result;
  }
}

std::uint32_t DelayMS(std::uint32_t msecs) {
  std::uint32_t t0 = AdTimeGetTime();
  std::uint32_t total = 0;
  while (total < msecs) {
    const std::uint32_t t = AdTimeGetTime();
    const std::uint32_t step = t - t0;  // unsigned: the clock's wrap costs nothing
    total = step >= msecs - total ? msecs : total + step;
    t0 = t;
  }
  return msecs;
}
