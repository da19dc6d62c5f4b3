#pragma once
// The state the server's threads share: the two queues, the one lock that guards
// them both, and the flag that ends every loop.
#include <atomic>
#include <cstddef>
#include <deque>
#include <mutex>

#include "protocol/packet.h"

// Front = oldest. A packet belongs to the queue while it is listed; whoever takes
// it out owns it. Every change is made under QueueLock; the count alone can also
// be read without it, since the modem worker may hold the lock for many seconds
// (through its modem check) and what only needs the count must not wait that long.
class PacketQueue {
 public:
  using const_iterator = std::deque<PacketPtr>::const_iterator;

  bool empty() const { return items_.empty(); }
  std::size_t size() const { return items_.size(); }
  const_iterator begin() const { return items_.begin(); }
  const_iterator end() const { return items_.end(); }
  const PacketPtr& front() const { return items_.front(); }
  const PacketPtr& operator[](std::size_t i) const { return items_[i]; }

  void push_back(PacketPtr p);
  void push_front(PacketPtr p);
  // The oldest packet, out of the queue; the queue must not be empty.
  PacketPtr TakeFront();
  void clear();

  // The number of packets as of the last change, without the lock.
  std::size_t Count() const { return count_.load(); }

 private:
  void Counted() { count_.store(items_.size()); }

  std::deque<PacketPtr> items_;
  std::atomic<std::size_t> count_{0};
};

struct ServerState {
  std::atomic<bool> StopFlag{false};  // only ever goes from false to true
  std::mutex QueueLock;               // guards both queues
  PacketQueue OutgoingQueue;          // handed in by clients, waiting to go out as SMS
  PacketQueue IncomingQueue;          // received SMS, waiting for a client's fetch

  // Counts for the tray menu; they never wait for QueueLock.
  std::size_t OutgoingCount() const { return OutgoingQueue.Count(); }
  std::size_t IncomingCount() const { return IncomingQueue.Count(); }
};
