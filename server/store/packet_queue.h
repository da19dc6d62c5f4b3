#pragma once
// A queue of packets in memory, each with the id its store gave its record: the
// outgoing queue (handed in by clients, waiting to go out as SMS) or the incoming
// one (received SMS, waiting for a client's fetch). The store keeps the same queue
// on disk; this one is what the threads take from.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>

#include "protocol/packet.h"

class MessageStore;

// Names a record of a queue's store for as long as the server runs.
using RecordId = std::uint64_t;

struct QueuedPacket {
  RecordId id = 0;
  PacketPtr packet;

  ::packet* operator->() const { return packet.get(); }
  ::packet& operator*() const { return *packet; }
  explicit operator bool() const { return packet != nullptr; }
};

// Front = oldest. A packet belongs to the queue while it is listed; whoever takes
// it out owns it, and tells the store what became of it. Every change is made
// under QueueLock; the count alone can also be read without it, so that what only
// needs the count (the tray menu, a fetch of nothing) never waits for the lock.
class PacketQueue {
 public:
  using const_iterator = std::deque<QueuedPacket>::const_iterator;

  explicit PacketQueue(MessageStore& store) : store_(store) {}

  MessageStore& store() const { return store_; }

  bool empty() const { return items_.empty(); }
  std::size_t size() const { return items_.size(); }
  const_iterator begin() const { return items_.begin(); }
  const_iterator end() const { return items_.end(); }
  const QueuedPacket& front() const { return items_.front(); }
  const QueuedPacket& operator[](std::size_t i) const { return items_[i]; }

  // The packet into the store, then onto the back of the queue.
  void Append(PacketPtr p);

  void push_back(QueuedPacket p);
  void push_front(QueuedPacket p);
  // Back in its place among those still queued, by id: for a queue whose order is
  // the order its packets were taken in (the incoming one), after a fetch that
  // could not hand it over. Others may have taken and returned packets meanwhile.
  void PutBackInOrder(QueuedPacket p);
  // The oldest packet, out of the queue; the queue must not be empty.
  QueuedPacket TakeFront();
  // Forgets the packets, not their records: the store has them.
  void clear();

  // The number of packets as of the last change, without the lock.
  std::size_t Count() const { return count_.load(); }

 private:
  void Counted() { count_.store(items_.size()); }

  MessageStore& store_;
  std::deque<QueuedPacket> items_;
  std::atomic<std::size_t> count_{0};
};
