#pragma once
// The serial layer's one notion of time: ticks of 55 ms of a 32-bit
// millisecond clock, and the event timers every wait of the layer is built on.
#include <chrono>
#include <cstdint>
#include <functional>

inline constexpr std::uint32_t kTickMs = 55;
// No timer is longer than 2^31 ms.
inline constexpr std::int32_t kMaxTimerTicks = 39045157;

// The millisecond clock: milliseconds since the system started, modulo 2^32.
std::uint32_t AdTimeGetTime();

// Blocks for at most the given time, or less when what the caller also awaits
// arrives (true then); a plain sleep returns false.
using AdWait = std::function<bool(std::chrono::milliseconds)>;

// Lets `ms` of the clock pass by blocking in `wait`. The system's clock waits
// that long; a test's clock, whose time moves only when the test moves it,
// moves it on instead, so that delays on it take no real time.
using AdPass = void (*)(std::uint32_t ms, AdWait wait);

// Replaces the clock and how time passes on it (tests drive time with them);
// nullptr restores the system's.
using AdClock = std::uint32_t (*)();
void SetAdClock(AdClock clock, AdPass pass = nullptr);

// Blocks until `ms` of the clock have passed or `wait` sees what it awaits.
void AdPassTime(std::uint32_t ms, AdWait wait);

// A timer owned by its caller: the tick it started at and the tick it ends after.
struct EventTimer {
  std::int32_t StartTicks = 0;
  std::int32_t ExpireTicks = 0;
};

std::int32_t Ticks2Secs(std::int32_t ticks);   // rounded to the nearest second
std::int32_t Secs2Ticks(std::int32_t secs);    // truncated
std::int32_t MSecs2Ticks(std::int32_t msecs);  // truncated

// Starts a timer of `ticks` (capped at kMaxTimerTicks; 0 or less taken as is).
void NewTimer(EventTimer& timer, std::int32_t ticks);
void NewTimerSecs(EventTimer& timer, std::int32_t secs);

// True once more ticks than its length have passed since the start: a timer
// of 0 ticks expires at the next tick, a negative one at once. The timer
// functions measure across the clock's wrap every 49.7 days.
bool TimerExpired(const EventTimer& timer);
std::int32_t ElapsedTime(const EventTimer& timer);
std::int32_t ElapsedTimeInSecs(const EventTimer& timer);
std::int32_t RemainingTime(const EventTimer& timer);  // never below 0
// Milliseconds of the clock until TimerExpired turns true; 0 once it is.
std::uint32_t MSecsToExpiry(const EventTimer& timer);
std::int32_t RemainingTimeInSecs(const EventTimer& timer);
