#include "serial/base/time_base.h"

#include <atomic>
#include <chrono>

namespace {

std::uint32_t SystemClock() {
  const auto since_start = std::chrono::steady_clock::now().time_since_epoch();
  return static_cast<std::uint32_t>(
      std::chrono::duration_cast<std::chrono::milliseconds>(since_start).count());
}

void SystemPass(std::uint32_t ms, AdWait wait) { wait(std::chrono::milliseconds(ms)); }

std::atomic<AdClock> g_clock{&SystemClock};
std::atomic<AdPass> g_pass{&SystemPass};

constexpr std::int64_t kClockPeriodMs = std::int64_t{1} << 32;

// The current millisecond on the timer's scale. A current tick below the start
// tick means the millisecond clock wrapped in between: the time is then counted
// on from where the clock left off.
std::int64_t NowMs(const EventTimer& timer) {
  const std::uint32_t ms = AdTimeGetTime();
  if (std::int64_t{ms / kTickMs} < timer.StartTicks) return kClockPeriodMs + ms;
  return ms;
}

std::int64_t Elapsed(const EventTimer& timer) {
  return NowMs(timer) / kTickMs - timer.StartTicks;
}

std::int64_t Length(const EventTimer& timer) {
  return std::int64_t{timer.ExpireTicks} - timer.StartTicks;
}

}  // namespace

std::uint32_t AdTimeGetTime() { return g_clock.load()(); }

void SetAdClock(AdClock clock, AdPass pass) {
  g_pass.store(clock != nullptr && pass != nullptr ? pass : &SystemPass);
  g_clock.store(clock != nullptr ? clock : &SystemClock);
}

void AdPassTime(std::uint32_t ms, AdWait wait) { g_pass.load()(ms, wait); }

// Products in 64 bits: exact for every argument, not only the small ones.
std::int32_t Ticks2Secs(std::int32_t ticks) {
  return static_cast<std::int32_t>((std::int64_t{ticks} + 9) * 92 / 1675);
}

std::int32_t Secs2Ticks(std::int32_t secs) {
  return static_cast<std::int32_t>(std::int64_t{secs} * 1675 / 92);
}

std::int32_t MSecs2Ticks(std::int32_t msecs) {
  return static_cast<std::int32_t>(std::int64_t{msecs} * 1675 / 92000);
}

void NewTimer(EventTimer& timer, std::int32_t ticks) {
  if (ticks > kMaxTimerTicks) ticks = kMaxTimerTicks;
  timer.StartTicks = static_cast<std::int32_t>(AdTimeGetTime() / kTickMs);
  timer.ExpireTicks = timer.StartTicks + ticks;
}

void NewTimerSecs(EventTimer& timer, std::int32_t secs) { NewTimer(timer, Secs2Ticks(secs)); }

bool TimerExpired(const EventTimer& timer) { return Elapsed(timer) > Length(timer); }

std::int32_t ElapsedTime(const EventTimer& timer) {
  return static_cast<std::int32_t>(Elapsed(timer));
}

std::int32_t ElapsedTimeInSecs(const EventTimer& timer) { return Ticks2Secs(ElapsedTime(timer)); }

std::int32_t RemainingTime(const EventTimer& timer) {
  const std::int64_t left = Length(timer) - Elapsed(timer);
  return left > 0 ? static_cast<std::int32_t>(left) : 0;
}

std::uint32_t MSecsToExpiry(const EventTimer& timer) {
  // Expired from the first millisecond of the tick after the expiry tick.
  const std::int64_t left = (std::int64_t{timer.ExpireTicks} + 1) * kTickMs - NowMs(timer);
  return left > 0 ? static_cast<std::uint32_t>(left) : 0;
}

std::int32_t RemainingTimeInSecs(const EventTimer& timer) {
  return Ticks2Secs(RemainingTime(timer));
}
