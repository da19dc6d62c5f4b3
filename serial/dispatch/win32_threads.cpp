#include "serial/dispatch/win32_threads.h"

#include <new>
#include <span>

#include "platform/comm_device.h"
#include "platform/errno_map.h"
#include "platform/last_error.h"
#include "serial/base/result_codes.h"
#include "serial/base/rtl_exceptions.h"
#include "serial/dispatch/win32_dispatcher.h"

namespace {

// How long each thread sleeps in one wait before it looks at KillThreads again.
constexpr std::uint32_t kReadSliceMs = 50;
constexpr std::uint32_t kWriteSliceMs = 100;
constexpr std::uint32_t kStatusSliceMs = 100;

constexpr std::int32_t kReadBlock = 256;
// The comm events the status thread queues (the line's, not arriving data).
constexpr std::uint32_t kLineEvents =
    kEvCts | kEvDsr | kEvRlsd | kEvBreak | kEvErr | kEvRing | kEvRingTrailingEdge;
// The comm events TComThread hands on: arriving data too, and no ring's end.
constexpr std::uint32_t kComThreadEvents = kEvRxChar | kEvCts | kEvDsr | kEvRlsd | kEvBreak | kEvErr | kEvRing;

}  // namespace

TDevaWin32Thread::TDevaWin32Thread(TDevaWin32Dispatcher* Dispatcher)
    : TDevaDispatcherThread(Dispatcher), Win32(*Dispatcher), Device(*Dispatcher->Device) {}

void TDevaWin32Thread::Fail(std::int32_t code) {
  const int error = GetLastSysError();
  if (error != kSysInvalidHandle) {
    Win32.LastThreadError = static_cast<std::uint32_t>(error);
    SetReturnValue(code);
  }
  Win32.StopThreads();
}

void TDevaWin32Thread::FailNoBuffer() {
  SetReturnValue(ecNoMem);
  Win32.StopThreads();
}

bool TDevaWin32Thread::Stopping() const { return Terminated() || Win32.KillThreads; }

void TReadThread::Execute() {
  Win32.ThreadStart(this);
  try {
    while (!Stopping()) {
      if (!AwaitQueueRoom()) continue;
      // Reads what has come, as soon as it comes, or at the latest after a slice.
      const std::uint32_t woke = Device.Wait(kCommData, kReadSliceMs, &Win32.SerialEvent);
      if (woke & kCommFailed) {
        Fail(ecDeviceRead);
        continue;
      }
      if (woke & kCommOther) Win32.SerialEvent.Reset();
      ReadSerial();
    }
  } catch (const std::bad_alloc&) {
    FailNoBuffer();
  } catch (const Exception&) {  // no block was obtained
    FailNoBuffer();
  }
  held_.reset();
  Win32.ThreadGone(this);
}

bool TReadThread::AwaitQueueRoom() {
  const std::uint32_t limit = Win32.InputQueueLimit();
  if (Win32.InputQueue.QueuedBytes() < limit) return true;
  // The bytes stay in the driver, whose flow control then holds the far end.
  // A hang-up meanwhile ends the port now, not once somebody reads.
  Win32.ReadPaused = true;
  if (Win32.InputQueue.QueuedBytes() >= limit) {
    const std::uint32_t woke = Device.Wait(kCommHangUp, kReadSliceMs, &Win32.QueueRoom);
    if (woke & kCommOther) Win32.QueueRoom.Reset();
    if (woke & (kCommHangUp | kCommFailed)) Fail(ecDeviceRead);
  }
  Win32.ReadPaused = false;
  return false;
}

void TReadThread::ReadSerial() {
  while (!Stopping() && Win32.InputQueue.QueuedBytes() < Win32.InputQueueLimit()) {
    if (!held_) held_ = std::make_unique<TDataBuffer>(kReadBlock);
    const std::int32_t n = Device.Read(std::span<std::uint8_t>(held_->Block.get(), kReadBlock));
    if (n < 0) {  // a hang-up of the far end too: the port reads no more
      Fail(ecDeviceRead);
      return;
    }
    if (n == 0) return;
    held_->Filled = static_cast<std::uint32_t>(n);
    Win32.InputQueue.Push(std::move(held_));
  }
}

void TStatusThread::Execute() {
  Win32.ThreadStart(this);
  try {
    while (!Stopping()) {
      // The device samples its modem lines and error counters while it waits.
      const std::uint32_t woke = Device.Wait(kCommLineEvent, kStatusSliceMs);
      if (woke & kCommFailed) {
        Fail(ecDeviceRead);
        continue;
      }
      if (!(woke & kCommLineEvent)) continue;
      const std::uint32_t events = Device.TakeCommEvents() & kLineEvents;
      if (!events) continue;
      auto item = std::make_unique<TStatusBuffer>();
      item->EventMask = events;
      Win32.InputQueue.Push(std::move(item));
    }
  } catch (const std::bad_alloc&) {
    FailNoBuffer();
  }
  Win32.ThreadGone(this);
}

void TWriteThread::Execute() { WriteUntilStopped(kWriteSliceMs); }

void TOutThread::Execute() { WriteUntilStopped(kInfinite); }

void TWriteThread::WriteUntilStopped(std::uint32_t sliceMs) {
  Win32.ThreadStart(this);
  try {
    while (!Stopping()) {
      const AnyWaitResult woke = WaitForAnyEvent(Win32.OutputHandles, sliceMs);
      if (woke.Result == WaitResult::Timeout) continue;
      if (woke.Result != WaitResult::Signaled) {
        Fail(ecDeviceWrite);
      } else if (woke.Index == 1) {
        Win32.GeneralEvent->Set();  // the answer FlushCom waits for
      } else if (!Stopping() && WriteSerial() != 0) {
        Fail(ecDeviceWrite);
      }
    }
  } catch (const std::bad_alloc&) {
    FailNoBuffer();
  }
  Win32.ThreadGone(this);
}

bool TWriteThread::TakeChunk() {
  // The ring is empty again before a byte is sent, so PutBlock can refill it
  // while this chunk goes out.
  TDevaWin32Dispatcher& d = Win32;
  TCriticalSectionGuard lock(d.OutputLock);
  if (!d.OutRing || (!d.OutRingFull && d.OutHead == d.OutTail)) return false;
  const std::uint8_t* ring = d.OutRing.get();
  chunk_.clear();
  if (d.OutHead > d.OutTail) {
    chunk_.assign(ring + d.OutTail, ring + d.OutHead);
  } else {
    chunk_.assign(ring + d.OutTail, ring + d.OutQueueSize);
    chunk_.insert(chunk_.end(), ring, ring + d.OutHead);
  }
  d.OutHead = d.OutTail = 0;
  d.OutRingFull = false;
  d.WriteDoneEvent->Set();
  return true;
}

std::int32_t TWriteThread::WriteSerial() {
  while (TakeChunk()) {
    std::size_t sent = 0;
    while (sent < chunk_.size()) {
      const std::int32_t n = Device.Write(std::span<const std::uint8_t>(chunk_).subspan(sent));
      if (n < 0) return ecDeviceWrite;
      if (n > 0) {
        sent += static_cast<std::size_t>(n);
        continue;
      }
      // The driver is full: wait for room, a flush or a stop.
      const std::uint32_t woke = Device.Wait(kCommWritable, kWriteSliceMs, Win32.OutFlushEvent.get());
      if (woke & kCommFailed) return ecDeviceWrite;
      if (woke & kCommOther) {  // a flush drops the rest of the chunk
        Win32.OutFlushEvent->Reset();
        Win32.GeneralEvent->Set();
        return 0;
      }
      if (Stopping()) return 0;  // a close drops it too
    }
  }
  return 0;
}

void TComThread::Execute() {
  Win32.ThreadStart(this);
  while (!Stopping()) {
    const std::uint32_t woke = Device.Wait(kCommData | kCommLineEvent, kInfinite);
    if (woke & kCommFailed) Fail(ecDeviceRead);
    if (Stopping()) break;
    std::uint32_t events = (woke & kCommLineEvent) ? Device.TakeCommEvents() : 0;
    if (woke & kCommData) events |= kEvRxChar;
    events &= kComThreadEvents;
    if (!events) continue;
    Win32.CycleEventMask = events;
    if (events & kEvRing) Win32.RingPending = true;
    Win32.CommEventSignal->Set();
    Win32.CycleDoneEvent->Wait(kInfinite);  // a close sets it, so this ends too
  }
  Win32.GeneralEvent->Set();
  Win32.ThreadGone(this);
}
