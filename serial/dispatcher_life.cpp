// The dispatcher's life cycle: construction, opening and releasing the port,
// and the start and end of its threads.
#include <chrono>
#include <new>

#include "platform/last_error.h"
#include "platform/message_box.h"
#include "platform/message_window.h"
#include "platform/thread.h"
#include "serial/base_dispatcher.h"
#include "serial/delay.h"
#include "serial/deva_exceptions.h"
#include "serial/port_list.h"
#include "serial/result_codes.h"
#include "serial/time_base.h"

namespace {

// What a failed device call left: minus the system error, or "not open" when
// the call gave no reason (never 0, which would read as success).
std::int32_t LastErrorCode() {
  const int error = GetLastSysError();
  return error ? -error : ecCommNotOpen;
}

// An I/O thread's failure reaches the user the way the program shows any
// exception, and goes no further.
void ShowThreadFailure(const Exception& e) {
  MessageBox(e.Message(), "", MbButtons::Ok, MbIcon::Error);
}

}  // namespace

TDevaBaseDispatcher::TDevaBaseDispatcher(TComponent* Owner) : PortOwner(Owner) {
  DispatcherHandle = AddToPortList(this);
}

TDevaBaseDispatcher::~TDevaBaseDispatcher() {
  AwaitThreadsGone();  // a thread that has not counted itself out may still use this object
  RemoveFromPortList(this);
}

void TDevaBaseDispatcher::AwaitThreadsGone() {
  while (ActiveThreads > 0) {
    WaitWindowMessage(std::chrono::milliseconds(10));
    SafeYield();
  }
}

void TDevaBaseDispatcher::ReleaseBeforeDestroy() {
  if (released_) return;
  released_ = true;
  if (ClosePending)
    DonePortPrim();
  else
    DonePort();
}

void TDevaBaseDispatcher::CreateEvents() {
  CloseEvents();
  CommEventSignal = std::make_unique<TEvent>();
  CycleDoneEvent = std::make_unique<TEvent>();
  GeneralEvent = std::make_unique<TEvent>();
  OutputEvent = std::make_unique<TEvent>();
  WriteDoneEvent = std::make_unique<TEvent>(true);
  OutFlushEvent = std::make_unique<TEvent>();
  OutputHandles = {OutputEvent.get(), OutFlushEvent.get()};
  WriteDoneHandles = {WriteDoneEvent.get(), OutFlushEvent.get()};
}

void TDevaBaseDispatcher::CloseEvents() {
  OutputHandles = {};
  WriteDoneHandles = {};
  CommEventSignal.reset();
  CycleDoneEvent.reset();
  GeneralEvent.reset();
  OutputEvent.reset();
  WriteDoneEvent.reset();
  OutFlushEvent.reset();
}

std::int32_t TDevaBaseDispatcher::InitFailed(std::int32_t code) {
  DonePort();
  return code;
}

std::int32_t TDevaBaseDispatcher::InitPort(const char* ComName, std::int32_t Baud,
                                           std::uint32_t Parity, std::int8_t DataBits,
                                           std::int8_t StopBits, std::uint32_t InSize,
                                           std::uint32_t OutSize, std::uint32_t Options) {
  RingPending = false;
  EventBusy = false;
  {
    TCriticalSectionGuard lock(TriggerLock);
    HandlerListDirty = false;
  }
  CreateEvents();

  ComHandle = OpenCom(ComName, InSize, OutSize);
  if (ComHandle < 0) return InitFailed(ComHandle == ecOutOfMemory ? ecOutOfMemory : LastErrorCode());
  if (const std::int32_t r = SetCommBuffers(static_cast<std::int32_t>(InSize),
                                            static_cast<std::int32_t>(OutSize));
      r != 0)
    return InitFailed(r);

  try {
    TCriticalSectionGuard input(InputLock);
    InRing = std::make_unique<std::uint8_t[]>(kInRingSize);
    InHead = InTail = 0;
    InRingFull = false;
    HandlerReadCount = 0;
    TCriticalSectionGuard output(OutputLock);
    OutRing = std::make_unique<std::uint8_t[]>(OutSize);
    OutHead = OutTail = 0;
    OutRingFull = false;
    OutQueueSize = OutSize;
  } catch (const std::bad_alloc&) {
    return InitFailed(ecOutOfMemory);
  }
  WriteDoneEvent->Set();  // the output ring is empty
  InQueueSize = InSize;
  LineErrors = 0;
  OutputSentPending = false;
  ClosePending = false;
  DispatchWindow = 0;
  PrevLineError = PrevModemStatus = 0;
  RS485Mode = false;
  BaseAddress = 0;

  {
    TCriticalSectionGuard lock(TriggerLock);
    GetComState(PortDCB);
  }
  // A line under driver handshake keeps what the device reports until the
  // flow options set it.
  DtrByDriver = (Options & kOptDtrByDriver) != 0;
  if (!DtrByDriver) SetDtr((Options & kOptRaiseDtr) != 0);
  RtsByDriver = (Options & kOptRtsByDriver) != 0;
  if (!RtsByDriver) SetRts((Options & kOptRaiseRts) != 0);

  MatchPos = 0;
  LengthPos = 1;
  RemoveAllTriggers();
  NotifyPos = 0;
  ResetStatusHits();
  InAvailNotify = false;
  {
    TCriticalSectionGuard lock(TriggerLock);
    ModemStatusShadow = 0;
  }
  GetModemStatusPrim(0xF0);
  {
    TCriticalSectionGuard lock(TriggerLock);
    CurrentBaud = 115200;
  }
  if (const std::int32_t r = SetLine(Baud, Parity, DataBits, StopBits); r != 0) return InitFailed(r);

  RefreshStatus();
  {
    TCriticalSectionGuard lock(TriggerLock);
    TracingOn = false;
    TraceRing.reset();
    TraceHead = TraceCapacity = 0;
    TraceWrapped = false;
  }
  LogTimeBase = AdTimeGetTime();
  DLoggingOn = false;
  LogCap = 0;
  StartDispatcher();
  return 0;
}

std::int32_t TDevaBaseDispatcher::InitSocket(std::uint32_t InSize, std::uint32_t OutSize) {
  ComHandle = OpenCom(nullptr, InSize, OutSize);
  if (ComHandle < 0) return InitFailed(ComHandle == ecOutOfMemory ? ecOutOfMemory : LastErrorCode());
  if (!SetupCom(0, 0)) {
    const std::int32_t code = GetComError(LastComStat);
    DonePort();
    return code ? -code : ecCommNotOpen;
  }
  {
    TCriticalSectionGuard lock(InputLock);
    InRing = std::make_unique<std::uint8_t[]>(kInRingSize);
  }
  InQueueSize = InSize;
  OutQueueSize = OutSize;
  LengthPos = 1;
  {
    TCriticalSectionGuard lock(TriggerLock);
    ModemStatusShadow = 0;
  }
  RefreshStatus();
  LogTimeBase = AdTimeGetTime();
  StartDispatcher();
  return 0;
}

std::int32_t TDevaBaseDispatcher::SetCommBuffers(std::int32_t InSize, std::int32_t OutSize) {
  return SetupCom(InSize, OutSize) ? 0 : LastErrorCode();
}

void TDevaBaseDispatcher::DonePort() {
  if (ComHandle >= 0) {
    FlushOutBuffer();
    FlushInBuffer();
    CloseCom();
  }
  // Handlers or a wait are running on the rings: whoever ends them releases.
  if (EventBusy) {
    ClosePending = true;
    return;
  }
  DonePortPrim();
}

void TDevaBaseDispatcher::DonePortPrim() {
  DonePortOnExit = false;
  if (DispatcherActive) StopDispatcher();
  // Each ring goes under the lock its readers and writers hold; a later
  // operation finds it absent and fails instead of touching freed memory.
  {
    TCriticalSectionGuard lock(InputLock);
    InRing.reset();
  }
  {
    TCriticalSectionGuard lock(OutputLock);
    OutRing.reset();
  }
  CloseEvents();
}

void TDevaBaseDispatcher::ThreadStart(TThread*) {
  ++ActiveThreads;
  if (GeneralEvent) GeneralEvent->Set();
}

void TDevaBaseDispatcher::ThreadGone(TThread* Thread) {
  const std::int32_t code = Thread->ReturnValue();
  if (code == ecDeviceWrite || code == ecDeviceRead) {
    LineErrors = -1;
    CheckStatusTriggers();
  } else {
    try {
      CheckException(PortOwner, code);
    } catch (const Exception& e) {
      ShowThreadFailure(e);
    }
  }
  bool dispatchThread = false;
  {
    TCriticalSectionGuard lock(TriggerLock);
    for (std::atomic<TThread*>* ref : {&ReadThread, &WriteThread, &DispatchThread, &StatusThread}) {
      TThread* expected = Thread;
      if (ref->compare_exchange_strong(expected, nullptr)) {
        dispatchThread = ref == &DispatchThread;
        break;
      }
    }
  }
  if (dispatchThread && DonePortOnExit) {
    DonePortPrim();
    DonePortOnExit = false;
  }
  if (--ActiveThreads == 0) DispatcherActive = false;
}

void TDevaBaseDispatcher::SetThreadBoost(std::uint8_t Boost) {
  TCriticalSectionGuard lock(TriggerLock);  // a thread clears its reference under it
  if (Boost == ThreadBoost) return;
  ThreadBoost = Boost;
  const auto normal = static_cast<TThreadPriority>(Boost + tpNormal);
  for (TThread* t : {ReadThread.load(), DispatchThread.load(), StatusThread.load()})
    if (t) t->SetPriority(normal);
  if (TThread* t = WriteThread.load())
    t->SetPriority(static_cast<TThreadPriority>(Boost + (RS485Mode ? tpHigher : tpNormal)));
}
