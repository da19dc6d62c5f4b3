#include "serial/dispatch/io_queue.h"

#include <cstring>
#include <new>

#include "serial/base/rtl_exceptions.h"

TDataBuffer::TDataBuffer(std::int32_t size) {
  Size = size;
  if (size <= 0) throw Exception("Insufficient memory to allocate I/O buffer.");
  try {
    Block = std::make_unique<std::uint8_t[]>(static_cast<std::size_t>(size));
  } catch (const std::bad_alloc&) {
    OutOfMemoryError();
  }
}

TLogBuffer::TLogBuffer(TDispatchType kind, TDispatchSubType subKind, std::uint32_t stamp,
                       std::uint32_t value, const void* data, std::int32_t count)
    : Kind(kind), SubKind(subKind), Stamp(stamp), Value(value) {
  Size = count;
  if (count > 0) {
    Bytes = std::make_unique<std::uint8_t[]>(static_cast<std::size_t>(count));
    std::memcpy(Bytes.get(), data, static_cast<std::size_t>(count));
  }
}

void TIOQueue::Push(std::unique_ptr<TIOBuffer> item) {
  std::lock_guard lock(Guard);
  const auto size = static_cast<std::uint32_t>(item->Size);
  items_.push_back(std::move(item));  // counted only once it is in: a failed push adds nothing
  queuedBytes_ += size;
  Signal.Set();
}

TIOBuffer* TIOQueue::Peek() {
  std::lock_guard lock(Guard);
  if (items_.empty() || items_.front()->InUse) return nullptr;
  items_.front()->InUse = true;
  return items_.front().get();
}

std::unique_ptr<TIOBuffer> TIOQueue::Pop() {
  std::lock_guard lock(Guard);
  if (items_.empty()) return nullptr;
  std::unique_ptr<TIOBuffer> item = std::move(items_.front());
  items_.pop_front();
  queuedBytes_ -= static_cast<std::uint32_t>(item->Size);
  return item;
}

void TIOQueue::Clear() {
  std::lock_guard lock(Guard);
  for (auto it = items_.begin(); it != items_.end();) {
    if ((*it)->InUse) {
      ++it;
    } else {
      queuedBytes_ -= static_cast<std::uint32_t>((*it)->Size);
      it = items_.erase(it);
    }
  }
}

WaitResult TIOQueue::WaitForBuffer(std::uint32_t timeoutMs) {
  // A push after the count was read still wakes the wait: Signal stays set
  // until a wait takes it.
  if (Count() > 0) return WaitResult::Signaled;
  return Signal.Wait(timeoutMs);
}

std::size_t TIOQueue::Count() const {
  std::lock_guard lock(Guard);
  return items_.size();
}
