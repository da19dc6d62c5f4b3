#pragma once
// The state the server's threads share: the two queues, the one lock that guards
// them both, and the flag that ends every loop.
#include <atomic>
#include <cstddef>
#include <deque>
#include <mutex>

#include "protocol/packet.h"

// Front = oldest. A packet belongs to the queue while it is listed; whoever takes
// it out owns it.
using PacketQueue = std::deque<PacketPtr>;

struct ServerState {
  std::atomic<bool> StopFlag{false};  // only ever goes from false to true
  std::mutex QueueLock;               // guards both queues
  PacketQueue OutgoingQueue;          // handed in by clients, waiting to go out as SMS
  PacketQueue IncomingQueue;          // received SMS, waiting for a client's fetch

  // Counts for the tray menu, taken under the lock.
  std::size_t OutgoingCount();
  std::size_t IncomingCount();
};
