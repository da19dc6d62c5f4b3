#pragma once
// poll(2) with a time-out in milliseconds that an interrupted call does not
// lengthen or cut short: EINTR is retried with the time that is left.
#include <poll.h>

#include <cstdint>

// A time-out that never ends.
inline constexpr std::uint32_t kInfinite = 0xFFFFFFFF;

// poll's result: the number of ready entries, 0 on time-out, -1 on failure (errno set).
int PollFor(pollfd* fds, nfds_t count, std::uint32_t timeoutMs);
