#pragma once
// Waiting in ticks or milliseconds, and one step of the calling thread's message loop.
#include <cstdint>

// Takes one message of the calling thread and dispatches it; a quit request is
// put back instead. Returns the message number in the low 16 bits and the low
// 16 bits of its window in the high 16 bits (exactly 18 for a quit request),
// 0 when nothing was waiting.
std::uint32_t SafeYield();

// Waits `ticks` ticks asleep. With Yield it wakes for each message of the
// calling thread, dispatches it and stops early at a quit request. Returns the
// last SafeYield result.
std::uint32_t DelayTicks(std::int32_t ticks, bool yield);

// Sleeps `msecs` milliseconds of the layer's clock; returns msecs.
std::uint32_t DelayMS(std::uint32_t msecs);
