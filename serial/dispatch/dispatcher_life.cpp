// The dispatcher's life cycle: construction, opening and releasing the port,
// and the start and end of its threads.
#include <algorithm>
#include <chrono>
#include <new>

#include "platform/last_error.h"
#include "platform/message_window.h"
#include "platform/thread.h"
#include "serial/base/deva_exceptions.h"
#include "serial/base/result_codes.h"
#include "serial/base/show_exception.h"
#include "serial/base/time_base.h"
#include "serial/dispatch/base_dispatcher.h"
#include "serial/dispatch/port_list.h"

namespace {

// What a failed device call left: minus the system error, or "not open" when
// the call gave no reason (never 0, which would read as success).
std::int32_t LastErrorCode() {
  const int error = GetLastSysError();
  return error ? -error : ecCommNotOpen;
}

}  // namespace

TDevaBaseDispatcher::TDevaBaseDispatcher(TComponent* Owner) : PortOwner(Owner) {
  DispatcherHandle = AddToPortList(this);
}

TDevaBaseDispatcher::~TDevaBaseDispatcher() {
  AwaitThreadsGone();  // no thread may touch this object once it is gone
  RemoveFromPortList(this);
}

void TDevaBaseDispatcher::StartThread(std::atomic<TThread*>& Ref, std::unique_ptr<TThread> Thread) {
  Thread->SetFreeOnTerminate(true);
  TThread* thread = Thread.get();
  {
    std::lock_guard lock(threadsGuard_);
    std::erase_if(threadHandles_, [](const TThread::Handle& h) { return h.Ended(); });
    threadHandles_.push_back(thread->GetHandle());
  }
  Ref = thread;
  try {
    thread->Start();  // from here on the thread owns and frees itself
  } catch (...) {
    Ref = nullptr;
    KillThreads = true;  // those already started end
    throw;               // Thread still owns the object
  }
  Thread.release();
}

bool TDevaBaseDispatcher::OnOwnThread(const std::atomic<TThread*>& Ref) const {
  const TThread* thread = Ref.load();
  return thread != nullptr && thread == TThread::Current();
}

bool TDevaBaseDispatcher::AwaitThread(const std::atomic<TThread*>& Ref, std::uint32_t timeoutMs) {
  if (!Ref || OnOwnThread(Ref)) return !Ref;
  int id;
  {
    std::lock_guard lock(threadsGuard_);
    id = nextWaiter_++;
    threadWaiters_.emplace_back(id, CallingThreadWake());
  }
  // ThreadGone wakes this wait once the reference is cleared.
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  while (Ref) {
    std::chrono::milliseconds left = std::chrono::hours(1);
    if (timeoutMs != kInfinite) {
      left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
      if (left.count() <= 0) break;
    }
    WaitSentMessages(left);
  }
  {
    std::lock_guard lock(threadsGuard_);
    std::erase_if(threadWaiters_, [id](const auto& waiter) { return waiter.first == id; });
  }
  return !Ref;
}

void TDevaBaseDispatcher::AwaitThreadsGone() {
  for (const std::atomic<TThread*>* ref : {&ReadThread, &DispatchThread, &WriteThread, &StatusThread})
    AwaitThread(*ref);
  std::vector<TThread::Handle> handles;
  {
    std::lock_guard lock(threadsGuard_);
    handles.swap(threadHandles_);
  }
  for (const TThread::Handle& handle : handles) handle.Join();  // at once for the calling thread
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
  {
    TCriticalSectionGuard lock(TriggerLock);
    WaitBusy = false;
    NotifyBusy = 0;
    UpdateEventBusy();
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
    MatchPending = 0;
    HandlerThread = {};
    HandlerReadsHeld = false;
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

  {
    TCriticalSectionGuard lock(InputLock);
    MatchPos = 0;
    NotifyPos = 0;
    InAvailNotify = false;
  }
  LengthPos = 1;
  RemoveAllTriggers();
  ResetStatusHits();
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
    MatchPending = 0;
  }
  {
    TCriticalSectionGuard lock(OutputLock);
    OutRing.reset();
  }
  InputArrived();  // a waiting reader finds the ring gone
  // The threads wait on the events: while another of them still runs (a
  // release from inside a close), they stay for the next release or the end.
  const bool othersRun = ReadThread || WriteThread || StatusThread ||
                         (DispatchThread && !OnOwnThread(DispatchThread));
  if (!othersRun) CloseEvents();
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
    } catch (const Exception&) {
      ShowCurrentException();
    }
  }
  // The release a close left to the dispatch thread, while it still counts as running.
  if (Thread == DispatchThread && DonePortOnExit) DonePortPrim();
  {
    TCriticalSectionGuard lock(TriggerLock);
    for (std::atomic<TThread*>* ref : {&ReadThread, &WriteThread, &DispatchThread, &StatusThread}) {
      TThread* expected = Thread;
      if (ref->compare_exchange_strong(expected, nullptr)) break;
    }
  }
  std::vector<MessageWaitWake> wakes;
  {
    std::lock_guard lock(threadsGuard_);
    for (const auto& waiter : threadWaiters_) wakes.push_back(waiter.second);
  }
  for (const MessageWaitWake& wake : wakes) wake();
  // The last touches of this object: whoever frees it joins this thread first.
  bool last;
  {
    TCriticalSectionGuard lock(TriggerLock);
    last = --ActiveThreads == 0;
    if (last) DispatcherActive = false;
  }
  if (last) InputArrived();  // no more input can come: the waits stop waiting for it
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
