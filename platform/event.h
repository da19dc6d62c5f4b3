#pragma once
// Events as the serial layer's threads use them: set and reset by any thread,
// waited for with a time-out, alone or several at once. An auto-reset event
// wakes one wait and is cleared by it (several settings before a wait wake it
// once); a manual-reset event stays set until reset. Each event is an eventfd,
// so a wait can also include a device descriptor (see poll_wait.h).
#include <cstddef>
#include <cstdint>
#include <span>

#include "platform/poll_wait.h"

enum class WaitResult { Signaled, Timeout, Abandoned, Failed };

class TEvent {
 public:
  explicit TEvent(bool manualReset = false, bool initiallySet = false);
  ~TEvent();
  TEvent(const TEvent&) = delete;
  TEvent& operator=(const TEvent&) = delete;

  void Set();
  void Reset();
  WaitResult Wait(std::uint32_t timeoutMs);

  // Readable while the event is set; for polling together with other descriptors.
  int Descriptor() const { return fd_; }
  // After poll saw the descriptor readable: takes the setting of an auto-reset
  // event (false when another wait took it first); always true for manual reset.
  bool Claim();

 private:
  int fd_;
  bool manual_;
};

struct AnyWaitResult {
  WaitResult Result;
  std::size_t Index;  // of the event that ended the wait, when Signaled
};

// Waits until one of the events is set; the first set one in the order given wins.
AnyWaitResult WaitForAnyEvent(std::span<TEvent* const> events, std::uint32_t timeoutMs);
