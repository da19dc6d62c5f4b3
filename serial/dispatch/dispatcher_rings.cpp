// The input and output rings: reading, queuing for sending, counts and flushes.
// A released ring reads as a ring with nothing in it and no room.
#include <algorithm>
#include <chrono>
#include <cstring>

#include "serial/base/result_codes.h"
#include "serial/dispatch/base_dispatcher.h"

std::uint32_t TDevaBaseDispatcher::UsedCount(std::uint32_t Head, std::uint32_t Tail, bool Full,
                                             std::uint32_t Size) {
  if (Head == Tail) return Full ? Size : 0;
  return Tail < Head ? Head - Tail : Head - Tail + Size;
}

TDevaBaseDispatcher::ReadView TDevaBaseDispatcher::View() const {
  if (!InAvailNotify) return ReadView::Own;
  if (HandlerThread == std::this_thread::get_id()) return ReadView::Handler;
  return HandlerReadsHeld ? ReadView::Held : ReadView::Own;
}

void TDevaBaseDispatcher::TailMoved() {
  // Bytes read before the data triggers saw them are no longer matched.
  const std::uint32_t unread = UsedCount(InHead, InTail, InRingFull);
  if (MatchPending > unread) {
    MatchPending = unread;
    MatchPos = InTail;
  }
  if (WaitingForRoom) RoomInRing.Set();
}

bool TDevaBaseDispatcher::CharReady() {
  TCriticalSectionGuard lock(InputLock);
  if (!InRing) return false;
  switch (View()) {
    case ReadView::Own: return InHead != InTail || InRingFull;
    case ReadView::Held: return false;
    case ReadView::Handler: break;
  }
  const std::uint32_t p = (InTail + HandlerReadCount) % kInRingSize;
  return p != InHead || (InRingFull && HandlerReadCount < kInRingSize);
}

std::int32_t TDevaBaseDispatcher::PeekCharPrim(char& C, std::uint32_t Count) {
  TCriticalSectionGuard lock(InputLock);
  // Count is 1-based: there is no byte 0.
  if (!InRing || Count == 0 || UsedCount(InHead, InTail, InRingFull) < Count) return ecBufferIsEmpty;
  C = static_cast<char>(InRing[(InTail + Count - 1) % kInRingSize]);
  return 0;
}

std::int32_t TDevaBaseDispatcher::PeekChar(char& C, std::uint32_t Count) {
  TCriticalSectionGuard lock(InputLock);
  switch (View()) {
    case ReadView::Own: break;
    case ReadView::Held: return ecBufferIsEmpty;
    case ReadView::Handler:
      if (Count != 0) Count += HandlerReadCount;
      break;
  }
  return PeekCharPrim(C, Count);
}

std::int32_t TDevaBaseDispatcher::GetChar(char& C) {
  TCriticalSectionGuard lock(InputLock);
  std::int32_t r = ecBufferIsEmpty;
  switch (View()) {
    case ReadView::Held: break;
    case ReadView::Handler:
      ++HandlerReadCount;
      r = PeekCharPrim(C, HandlerReadCount);
      if (r != 0) --HandlerReadCount;
      break;
    case ReadView::Own:
      r = PeekCharPrim(C, 1);
      if (r == 0) {
        InTail = (InTail + 1) % kInRingSize;
        InRingFull = false;
        TailMoved();
      }
      break;
  }
  // The one nesting of InputLock and TriggerLock.
  if (r == 0 && TracingOn) AddTraceEntry('R', static_cast<std::uint8_t>(C));
  return r;
}

std::int32_t TDevaBaseDispatcher::PeekBlockPrim(std::span<char> Block, std::uint32_t Offset,
                                                std::uint32_t& NewTail) {
  TCriticalSectionGuard lock(InputLock);
  NewTail = (InTail + Offset) % kInRingSize;
  const std::uint32_t len = static_cast<std::uint32_t>(Block.size());
  const std::uint32_t used = InRing ? UsedCount(InHead, InTail, InRingFull) : 0;
  if (used < Offset || used - Offset < len) return ecBufferIsEmpty;
  const std::uint32_t first = std::min(len, kInRingSize - NewTail);
  std::memcpy(Block.data(), InRing.get() + NewTail, first);
  std::memcpy(Block.data() + first, InRing.get(), len - first);
  NewTail = (NewTail + len) % kInRingSize;
  return static_cast<std::int32_t>(len);
}

std::int32_t TDevaBaseDispatcher::PeekBlock(std::span<char> Block) {
  TCriticalSectionGuard lock(InputLock);
  std::uint32_t newTail;
  switch (View()) {
    case ReadView::Own: return PeekBlockPrim(Block, 0, newTail);
    case ReadView::Handler: return PeekBlockPrim(Block, HandlerReadCount, newTail);
    case ReadView::Held: break;
  }
  return Block.empty() ? 0 : ecBufferIsEmpty;
}

std::int32_t TDevaBaseDispatcher::GetBlock(std::span<char> Block) {
  std::int32_t r = Block.empty() ? 0 : ecBufferIsEmpty;
  {
    TCriticalSectionGuard lock(InputLock);
    std::uint32_t newTail;
    switch (View()) {
      case ReadView::Held: break;
      case ReadView::Handler:
        r = PeekBlockPrim(Block, HandlerReadCount, newTail);
        if (r > 0) HandlerReadCount += static_cast<std::uint32_t>(r);
        break;
      case ReadView::Own:
        r = PeekBlockPrim(Block, 0, newTail);
        if (r > 0) {
          InTail = newTail;
          InRingFull = false;
          TailMoved();
        }
        break;
    }
  }
  if (r > 0 && TracingOn) {
    TCriticalSectionGuard lock(TriggerLock);
    for (std::int32_t i = 0; i < r; ++i) AddTraceEntry('R', static_cast<std::uint8_t>(Block[i]));
  }
  return r;
}

std::int32_t TDevaBaseDispatcher::PutChar(char C) { return PutBlock(std::span<const char>(&C, 1)); }

std::int32_t TDevaBaseDispatcher::PutString(std::string_view S) {
  return PutBlock(std::span<const char>(S.data(), S.size()));
}

std::int32_t TDevaBaseDispatcher::PutBlock(std::span<const char> Block) {
  if (Block.empty()) return 0;
  const auto len = static_cast<std::int32_t>(Block.size());
  std::int32_t result = 0;
  std::int32_t n;
  {
    // The free-space test and the copy are one step against the write thread.
    TCriticalSectionGuard lock(OutputLock);
    const std::uint32_t free = OutRing ? OutQueueSize - static_cast<std::uint32_t>(OutBufUsed()) : 0;
    if (Block.size() > free) return ecOutputBufferTooSmall;
    // RS485 needs no RTS here: the driver toggles it.
    n = WriteCom(reinterpret_cast<const std::uint8_t*>(Block.data()), len);
    if (n <= 0) {
      n = -n;
      result = ecPutBlockFail;
      // Gathered, not assigned: a failed thread's mark and the errors not yet
      // read stay for GetLineError.
      RefreshStatus();
    } else if (static_cast<std::uint32_t>(n) == free) {
      OutRingFull = true;  // head met tail: full, not empty
    }
    OutputSentPending = true;
  }
  if (DLoggingOn || (TracingOn && n > 0)) {
    TCriticalSectionGuard lock(TriggerLock);
    if (DLoggingOn) AddDispatchEntry(dtDispatch, dstWriteCom, static_cast<std::uint32_t>(n),
                                     Block.data(), static_cast<std::uint32_t>(n));
    if (TracingOn)
      for (std::int32_t i = 0; i < n; ++i) AddTraceEntry('T', static_cast<std::uint8_t>(Block[i]));
  }
  return result;
}

void TDevaBaseDispatcher::AddStringToLog(std::string_view S) {
  if (DLoggingOn) AddDispatchEntry(dtUser, dstNone, 0, S.data(), static_cast<std::uint32_t>(S.size()));
}

std::uint32_t TDevaBaseDispatcher::InBuffUsed() {
  TCriticalSectionGuard lock(InputLock);
  if (!InRing) return 0;
  const std::uint32_t used = UsedCount(InHead, InTail, InRingFull);
  switch (View()) {
    case ReadView::Own: return used;
    case ReadView::Held: return 0;
    case ReadView::Handler: break;
  }
  return used - std::min(used, HandlerReadCount);
}

std::uint32_t TDevaBaseDispatcher::InBuffFree() {
  TCriticalSectionGuard lock(InputLock);
  if (!InRing) return 0;
  const std::uint32_t free = kInRingSize - UsedCount(InHead, InTail, InRingFull);
  return View() == ReadView::Handler ? free + HandlerReadCount : free;
}

std::uint32_t TDevaBaseDispatcher::OutBuffUsed() {
  TCriticalSectionGuard lock(OutputLock);
  RefreshStatus();  // gathers the line errors on the way
  return LastComStat.cbOutQue;
}

std::uint32_t TDevaBaseDispatcher::OutBuffFree() {
  TCriticalSectionGuard lock(OutputLock);
  if (!OutRing) return 0;
  RefreshStatus();
  return OutQueueSize - std::min(OutQueueSize, LastComStat.cbOutQue);
}

std::int32_t TDevaBaseDispatcher::FlushOutBuffer() { return FlushCom(0); }

std::int32_t TDevaBaseDispatcher::FlushInBuffer() {
  TCriticalSectionGuard lock(InputLock);
  const std::int32_t r = FlushCom(1);
  if (View() == ReadView::Own) {
    InTail = InHead;
    HandlerReadCount = 0;
    InRingFull = false;
    TailMoved();
  } else {
    // The end of the notification passes over every byte held.
    MaxHandlerReadCount = UsedCount(InHead, InTail, InRingFull);
  }
  ResetDataTriggers();
  return r;
}

bool TDevaBaseDispatcher::WaitForInput(std::uint32_t timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  std::unique_lock lock(inputWaitGuard_);
  for (;;) {
    const std::uint64_t seen = inputChanges_;
    lock.unlock();  // a leaf lock: never held while taking InputLock
    bool released;
    {
      TCriticalSectionGuard input(InputLock);
      released = !InRing;
    }
    if (released) return false;
    if (CharReady()) return true;
    lock.lock();
    if (!inputChanged_.wait_until(lock, deadline, [&] { return inputChanges_ != seen; }))
      return false;
  }
}

void TDevaBaseDispatcher::InputArrived() {
  {
    std::lock_guard lock(inputWaitGuard_);
    ++inputChanges_;
    for (const auto& entry : inputWakes_) entry.second();
  }
  inputChanged_.notify_all();
}

int TDevaBaseDispatcher::AddInputWake(MessageWaitWake wake) {
  std::lock_guard lock(inputWaitGuard_);
  inputWakes_.emplace_back(nextInputWake_, std::move(wake));
  return nextInputWake_++;
}

void TDevaBaseDispatcher::RemoveInputWake(int id) {
  std::lock_guard lock(inputWaitGuard_);
  std::erase_if(inputWakes_, [id](const auto& entry) { return entry.first == id; });
}

void TDevaBaseDispatcher::BufferSizes(std::uint32_t& InSize, std::uint32_t& OutSize) {
  InSize = InQueueSize;
  OutSize = OutQueueSize;
}
