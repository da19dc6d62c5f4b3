// What the trigger, trace and dispatch-log layers share with the dispatcher
// core: resetting the trigger lists, the handler flags, and adding one trace
// or log entry.
#include <new>

#include "serial/base/time_base.h"
#include "serial/dispatch/base_dispatcher.h"

void TDevaBaseDispatcher::RemoveAllTriggers() {
  TCriticalSectionGuard lock(TriggerLock);
  TimerTriggerList.clear();
  DataTriggerList.clear();
  StatusTriggerList.clear();
  LengthTrigger = 0;
  NextTriggerHandle = 1;
}

void TDevaBaseDispatcher::ResetStatusHits() {
  TCriticalSectionGuard lock(TriggerLock);
  for (auto& trigger : StatusTriggerList) trigger->Hit = false;
  StatusHit = false;
}

void TDevaBaseDispatcher::ResetDataTriggers() {
  TCriticalSectionGuard lock(TriggerLock);
  for (auto& trigger : DataTriggerList)
    for (std::int32_t& counter : trigger->Counters) counter = 0;
}

void TDevaBaseDispatcher::UpdateHandlerFlags(TApHandlerFlagUpdate Update) {
  TCriticalSectionGuard lock(TriggerLock);
  const bool others = WndHandlerList.size() > 1 || !ProcHandlerList.empty() || !EventHandlerList.empty();
  switch (Update) {
    case fuKeepPort: NotifyNeeded = others || PortHandlerPresent; break;
    case fuEnablePort:
      PortHandlerPresent = true;
      NotifyNeeded = true;
      break;
    case fuDisablePort:
      PortHandlerPresent = false;
      NotifyNeeded = others;
      break;
  }
}

void TDevaBaseDispatcher::AddTraceEntry(char Kind, std::uint8_t Value) {
  TCriticalSectionGuard lock(TriggerLock);
  if (!TraceRing || TraceCapacity == 0) return;
  TraceRing[TraceHead] = {Kind, Value};
  if (++TraceHead == TraceCapacity) {
    TraceHead = 0;
    TraceWrapped = true;
  }
}

void TDevaBaseDispatcher::AddDispatchEntry(TDispatchType Kind, TDispatchSubType SubKind,
                                           std::uint32_t Data, const void* Bytes,
                                           std::uint32_t Count) {
  if (!DLoggingOn) return;
  // The cap bounds the attached bytes held before each new entry.
  while (LogCap != 0 && LogQueue.QueuedBytes() > LogCap && LogQueue.Pop()) {
  }
  try {
    LogQueue.Push(std::make_unique<TLogBuffer>(Kind, SubKind, GetDispatchTime(), Data, Bytes,
                                               static_cast<std::int32_t>(Count)));
  } catch (const std::bad_alloc&) {
    // A log entry is not worth the process: it is dropped.
  }
}

std::uint32_t TDevaBaseDispatcher::GetDispatchTime() { return AdTimeGetTime() - LogTimeBase; }
