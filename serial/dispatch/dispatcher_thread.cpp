#include "serial/dispatch/dispatcher_thread.h"

#include "serial/base/show_exception.h"
#include "serial/dispatch/base_dispatcher.h"

namespace {

// The dispatch thread's time slice: timer triggers are looked at, and a stop
// is seen, at this grain.
constexpr std::uint32_t kDispatchSliceMs = 50;

}  // namespace

void TDispThread::Execute() {
  TDevaBaseDispatcher& d = *Dispatcher;
  d.ThreadStart(this);
  try {
    for (;;) {
      AwaitWork();
      if (d.KillThreads || Terminated()) break;
      DispatchCycle();
      TimerCycle();
      if (d.KillThreads || d.ClosePending) {
        // The last cycle is done; a stop seen while waiting had none to report.
        if (d.GeneralEvent) d.GeneralEvent->Set();
        break;
      }
    }
    if (d.KillThreads) TakeWhatWasQueued();
  } catch (...) {
    // Not a handler's (SendNotify keeps those): the port gets no more input.
    ShowCurrentException();
  }
  d.DonePortOnExit = d.ClosePending.load();
  d.ThreadGone(this);
}

bool TDispThread::DataWaitsForRoom() {
  TDevaBaseDispatcher& d = *Dispatcher;
  TIOBuffer* item = d.InputQueue.Peek();
  if (!item) return false;
  const bool data = dynamic_cast<const TDataBuffer*>(item) != nullptr;
  item->InUse = false;
  if (!data) return false;
  TCriticalSectionGuard lock(d.InputLock);
  return d.InRing && d.InRingFull;
}

void TDispThread::TakeWhatWasQueued() {
  TDevaBaseDispatcher& d = *Dispatcher;
  for (;;) {
    {
      TCriticalSectionGuard lock(d.InputLock);
      if (!d.InRing || d.InRingFull) return;
    }
    if (!d.ExtractData()) return;
  }
}

void TDispThread::AwaitWork() {
  TDevaBaseDispatcher& d = *Dispatcher;
  if (d.InputQueue.Count() == 0) {
    d.InputQueue.WaitForBuffer(kDispatchSliceMs);
    return;
  }
  // A full ring waits for a reader, and the queue behind it for the ring: the
  // read thread then stops reading, and the line's flow control takes over.
  d.WaitingForRoom = true;
  if (DataWaitsForRoom()) d.RoomInRing.Wait(kDispatchSliceMs);
  d.WaitingForRoom = false;
}

bool TDispThread::Repeat(bool (TDevaBaseDispatcher::*check)()) {
  TDevaBaseDispatcher& d = *Dispatcher;
  while ((d.*check)())
    if (d.ClosePending) return false;
  return !d.ClosePending;
}

void TDispThread::ResetStatusHitsIfHit() {
  TDevaBaseDispatcher& d = *Dispatcher;
  TCriticalSectionGuard lock(d.TriggerLock);
  if (d.StatusHit) d.ResetStatusHits();
}

bool TDispThread::StatusChecks() {
  if (Dispatcher->EventBusy) return true;
  if (!Repeat(&TDevaBaseDispatcher::CheckStatusTriggers)) return false;
  ResetStatusHitsIfHit();
  return true;
}

void TDispThread::DispatchCycle() {
  TDevaBaseDispatcher& d = *Dispatcher;
  // At most one comm event per pass; data stays queued for ExtractData.
  std::uint32_t mask = 0;
  if (TIOBuffer* item = d.InputQueue.Peek()) {
    if (const auto* status = dynamic_cast<const TStatusBuffer*>(item)) {
      mask = status->EventMask;
      d.InputQueue.Pop();
    } else {
      item->InUse = false;
    }
  }
  d.CycleEventMask = mask;
  if (mask & (kEvRing | kEvRingTrailingEdge)) d.RingPending = true;
  if (mask & (kEvCts | kEvDsr | kEvRlsd | kEvRing | kEvRingTrailingEdge)) {
    d.MapEventsToMS(static_cast<std::int32_t>(mask));
    if (!StatusChecks()) return;
  }
  if (mask & (kEvBreak | kEvErr)) {
    d.RefreshStatus();
    if (!StatusChecks()) return;
  }
  d.ExtractData();
  if (!d.EventBusy) {
    d.GetModemStatusPrim(0xFF);  // the deltas stay set for the triggers and callers
    if (!Repeat(&TDevaBaseDispatcher::CheckStatusTriggers)) return;
    if (!Repeat(&TDevaBaseDispatcher::CheckReceiveTriggers)) return;
  }
  ResetStatusHitsIfHit();
  d.CycleDoneEvent->Set();
}

void TDispThread::TimerCycle() {
  TDevaBaseDispatcher& d = *Dispatcher;
  if (d.ClosePending || d.EventBusy) return;
  {
    TCriticalSectionGuard lock(d.TriggerLock);
    d.StatusHit = false;
  }
  for (;;) {
    bool fired = d.CheckStatusTriggers();
    if (!fired) fired = d.CheckTimerTriggers();
    if (!fired || d.ClosePending) break;
  }
  ResetStatusHitsIfHit();
}
