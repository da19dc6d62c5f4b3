#pragma once
// The locked first-in first-out queues between a dispatcher's threads: the
// input queue of received blocks and comm events, and the dispatch log.
// A consumer claims the head item with Peek and ends the claim by clearing
// its InUse, or by Pop (and then owns the item); Clear never frees a claimed
// item. The queue's lock is the innermost of the dispatcher: no queue
// operation takes any other lock.
#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>

#include "platform/event.h"
#include "serial/base/dispatch_types.h"

class TIOBuffer {
 public:
  virtual ~TIOBuffer() = default;

  // True while a consumer holds the claim it took with Peek.
  std::atomic<bool> InUse{false};
  // What the queue's byte count sums: a data block's capacity, a log entry's
  // attached bytes, 0 for a comm event.
  std::int32_t Size = 0;
};

// One block of received bytes; the unread ones are Block[Consumed, Filled).
class TDataBuffer : public TIOBuffer {
 public:
  // Raises when no block of that size is obtained (a size of 0 or less yields none).
  explicit TDataBuffer(std::int32_t size);

  std::unique_ptr<std::uint8_t[]> Block;
  std::uint32_t Filled = 0;
  std::uint32_t Consumed = 0;
};

// One comm event (kEv... bits).
class TStatusBuffer : public TIOBuffer {
 public:
  std::uint32_t EventMask = 0;
};

// One dispatch-log entry with a private copy of its bytes.
class TLogBuffer : public TIOBuffer {
 public:
  TLogBuffer(TDispatchType kind, TDispatchSubType subKind, std::uint32_t stamp,
             std::uint32_t value, const void* data, std::int32_t count);

  std::int32_t GetMoreData() const { return Size; }

  TDispatchType Kind;
  TDispatchSubType SubKind;
  std::uint32_t Stamp;  // milliseconds since the port opened
  std::uint32_t Value;
  std::unique_ptr<std::uint8_t[]> Bytes;  // absent when Size is 0 or less
};

class TIOQueue {
 public:
  TIOQueue() = default;
  ~TIOQueue() = default;  // frees every item
  TIOQueue(const TIOQueue&) = delete;
  TIOQueue& operator=(const TIOQueue&) = delete;

  void Push(std::unique_ptr<TIOBuffer> item);
  // Claims the head item; none when the queue is empty or its head is claimed.
  TIOBuffer* Peek();
  // Takes the head item, claimed or not.
  std::unique_ptr<TIOBuffer> Pop();
  // Frees every item that is not claimed; claimed ones keep their order.
  void Clear();
  // Signaled at once when an item is queued; else waits for a push.
  WaitResult WaitForBuffer(std::uint32_t timeoutMs);

  std::uint32_t QueuedBytes() const { return queuedBytes_; }
  std::size_t Count() const;

 private:
  mutable std::mutex Guard;
  TEvent Signal{false};  // auto-reset: several pushes before a wait wake it once
  std::deque<std::unique_ptr<TIOBuffer>> items_;  // oldest first; guarded by Guard
  std::atomic<std::uint32_t> queuedBytes_{0};     // changed under Guard
};
