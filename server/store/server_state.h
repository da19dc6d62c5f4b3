#pragma once
// The state the server's threads share: the two queues with their stores, the
// one lock that guards both queues, and the flag that ends every loop.
#include <atomic>
#include <cstddef>
#include <memory>
#include <mutex>
#include <string>

#include "server/store/message_store.h"
#include "server/store/packet_queue.h"

// The most messages a queue holds: far more than a modem sends in a week, and
// about 230 MB of memory.
inline constexpr std::size_t kQueueLimit = 200000;

struct ServerState {
  // folder: where the queue files are kept.
  explicit ServerState(const std::string& folder);

  std::atomic<bool> StopFlag{false};  // only ever goes from false to true
  std::mutex QueueLock;               // guards both queues; the stores guard themselves
  const std::unique_ptr<MessageStore> OutgoingStore;  // inbox.db
  const std::unique_ptr<MessageStore> IncomingStore;  // outbox.db
  PacketQueue OutgoingQueue{*OutgoingStore};  // handed in by clients, waiting to go out as SMS
  PacketQueue IncomingQueue{*IncomingStore};  // received SMS, waiting for a client's fetch
  std::size_t QueueLimit = kQueueLimit;       // set before the threads start

  // Counts for the tray menu; they never wait for QueueLock.
  std::size_t OutgoingCount() const { return OutgoingQueue.Count(); }
  std::size_t IncomingCount() const { return IncomingQueue.Count(); }
};
