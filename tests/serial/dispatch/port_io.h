#pragma once
// Moving whole streams through a dispatcher as a program would: blocking on
// the dispatcher's own waits, never spinning.
#include <algorithm>
#include <cstdint>
#include <span>
#include <string>

#include "serial/dispatch/base_dispatcher.h"

// `count` bytes of 32-bit little-endian counters from `first` on: a byte lost
// or delivered twice breaks the sequence where it happens.
inline std::string NumberedBytes(std::size_t count, std::uint32_t first = 0) {
  std::string s(count, 0);
  for (std::size_t i = 0; i < count; ++i)
    s[i] = static_cast<char>((first + i / 4) >> (8 * (i % 4)));
  return s;
}

// Takes `count` bytes from the input ring; fewer when none came for 10 s.
inline std::string ReadAll(TDevaBaseDispatcher& d, std::size_t count) {
  std::string got;
  while (got.size() < count && d.WaitForInput(10000)) {
    std::string block(std::min<std::size_t>(d.InBuffUsed(), count - got.size()), 0);
    if (d.GetBlock(block) > 0) got += block;
  }
  return got;
}

// Queues all of `bytes` for sending, waiting for the output ring to empty
// when it is full; false when it did not within 10 s or a put failed.
inline bool PutAll(TDevaBaseDispatcher& d, std::string_view bytes) {
  while (!bytes.empty()) {
    const std::uint32_t free = d.OutBuffFree();
    if (free == 0) {
      if (d.WriteDoneEvent->Wait(10000) != WaitResult::Signaled) return false;
      continue;
    }
    const std::size_t n = std::min<std::size_t>(free, bytes.size());
    if (d.PutBlock(std::span<const char>(bytes.data(), n)) != 0) return false;
    bytes.remove_prefix(n);
  }
  return true;
}
