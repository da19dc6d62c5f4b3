#include "serial/dispatch/win32_dispatcher.h"

#include <algorithm>
#include <cstring>
#include <mutex>

#include "platform/errno_map.h"
#include "platform/last_error.h"
#include "platform/open_comm_device.h"
#include "serial/base/rtl_exceptions.h"
#include "serial/base/time_base.h"
#include "serial/dispatch/dispatcher_thread.h"
#include "serial/dispatch/win32_threads.h"

namespace {

constexpr std::uint32_t kStartWaitMs = 3000;  // for each thread to report its start
constexpr std::uint32_t kFlushAnswerMs = 5000;
constexpr std::uint32_t kDispatchEndMs = 36 * kTickMs;  // twice, before waiting on without limit
constexpr std::uint32_t kReadBlock = 256;

}  // namespace

TDevaWin32Dispatcher::TDevaWin32Dispatcher(TComponent* Owner) : TDevaBaseDispatcher(Owner) {}

TDevaWin32Dispatcher::~TDevaWin32Dispatcher() {
  ReleaseBeforeDestroy();
  AwaitThreadsGone();  // the descriptor outlives every thread that may use it
}

std::unique_ptr<CommDevice> TDevaWin32Dispatcher::OpenDevice(const char* ComName) {
  return OpenComDevice(ComName ? ComName : "");
}

std::int32_t TDevaWin32Dispatcher::OpenCom(const char* ComName, std::uint32_t, std::uint32_t) {
  std::unique_lock lock(DeviceLock);
  if (Device) {  // this dispatcher holds a device already
    SetLastSysError(kSysSharingViolation);
    return -1;
  }
  Device = OpenDevice(ComName);
  if (!Device) return -1;
  ComHandle = Device->Handle();
  return ComHandle;
}

bool TDevaWin32Dispatcher::ReleaseDevice() {
  if (ReadThread || WriteThread || StatusThread) return false;
  std::unique_lock lock(DeviceLock);
  Device.reset();
  ComHandle = -1;
  return true;
}

bool TDevaWin32Dispatcher::SetupCom(std::int32_t InSize, std::int32_t OutSize) {
  std::shared_lock lock(DeviceLock);
  if (!Device) {
    SetLastSysError(kSysInvalidHandle);
    return false;
  }
  return Device->SetupQueues(static_cast<std::uint32_t>(std::max(InSize, 0)),
                             static_cast<std::uint32_t>(std::max(OutSize, 0)));
}

std::int32_t TDevaWin32Dispatcher::GetComState(TCommDcb& DCB) {
  std::shared_lock lock(DeviceLock);
  return Device && Device->GetState(DCB) ? 0 : -1;
}

std::int32_t TDevaWin32Dispatcher::SetComState(TCommDcb& DCB) {
  std::shared_lock lock(DeviceLock);
  if (!Device) return -kSysInvalidHandle;
  if (Device->SetState(DCB)) return 0;
  const int error = GetLastSysError();
  return error ? -error : -kSysGenFailure;
}

std::int32_t TDevaWin32Dispatcher::GetComError(TCommStat& Stat) {
  Stat = {};
  std::uint32_t errors = 0;
  {
    std::shared_lock lock(DeviceLock);
    if (Device) errors = Device->TakeErrors(Stat);
  }
  Stat.cbOutQue = static_cast<std::uint32_t>(OutBufUsed());
  return static_cast<std::int32_t>(errors);
}

std::int32_t TDevaWin32Dispatcher::EscapeComFunction(std::int32_t Func) {
  std::shared_lock lock(DeviceLock);
  if (Device) Device->Escape(static_cast<std::uint32_t>(Func));
  return 0;
}

std::int32_t TDevaWin32Dispatcher::GetComModemStatus(std::uint32_t& Status) {
  Status = 0;
  std::shared_lock lock(DeviceLock);
  return Device && Device->ModemStatus(Status) ? 0 : -1;
}

bool TDevaWin32Dispatcher::WaitComEvent(std::uint32_t& EvtMask) {
  EvtMask = 0;
  return true;
}

std::int32_t TDevaWin32Dispatcher::OutBufUsed() {
  TCriticalSectionGuard lock(OutputLock);
  return OutRing ? static_cast<std::int32_t>(UsedCount(OutHead, OutTail, OutRingFull, OutQueueSize)) : 0;
}

std::int32_t TDevaWin32Dispatcher::InQueueUsed() {
  TIOBuffer* item = InputQueue.Peek();
  if (!item) return 0;
  std::int32_t unread = 0;
  if (const auto* data = dynamic_cast<const TDataBuffer*>(item))
    unread = static_cast<std::int32_t>(data->Filled - data->Consumed);  // the head block only
  item->InUse = false;
  return unread;
}

std::uint32_t TDevaWin32Dispatcher::InputQueueLimit() const {
  return std::max(InQueueSize, kReadBlock);
}

std::int32_t TDevaWin32Dispatcher::ReadCom(std::uint8_t* Buf, std::int32_t Size) {
  std::int32_t remaining = Size;
  while (remaining > 0) {
    TIOBuffer* item = InputQueue.Peek();
    if (!item) break;
    auto* data = dynamic_cast<TDataBuffer*>(item);
    if (!data) {  // data after a comm event waits until the event is handled
      item->InUse = false;
      break;
    }
    const std::uint32_t n = std::min(static_cast<std::uint32_t>(remaining), data->Filled - data->Consumed);
    std::memcpy(Buf, data->Block.get() + data->Consumed, n);
    data->Consumed += n;
    Buf += n;
    remaining -= static_cast<std::int32_t>(n);
    if (data->Consumed >= data->Filled)
      InputQueue.Pop();  // the claimed head: freed here
    else
      item->InUse = false;
  }
  if (ReadPaused && InputQueue.QueuedBytes() < InputQueueLimit()) QueueRoom.Set();
  return Size - remaining;
}

std::int32_t TDevaWin32Dispatcher::WriteCom(const std::uint8_t* Buf, std::int32_t Size) {
  TCriticalSectionGuard lock(OutputLock);
  // Bytes queued after the threads were told to end would never leave.
  if (!OutRing || Size <= 0 || KillThreads) return 0;
  const auto count = static_cast<std::uint32_t>(Size);
  const std::uint32_t room = OutQueueSize - OutHead;
  const std::uint32_t first = std::min(count, room);
  std::memcpy(OutRing.get() + OutHead, Buf, first);
  std::memcpy(OutRing.get(), Buf + first, count - first);
  OutHead = count < room ? OutHead + count : count - room;
  if (WriteDoneEvent) WriteDoneEvent->Reset();  // not empty any more
  if (OutputEvent) OutputEvent->Set();
  return Size;
}

std::int32_t TDevaWin32Dispatcher::ProcessCommunications() {
  // The threads do the work. A caller that polls for its reply sleeps until a
  // byte can be read (at most a tick) instead of spinning on an idle line.
  WaitForInput(kTickMs);
  return 0;
}

void TDevaWin32Dispatcher::StopThreads() {
  KillThreads = true;
  std::shared_lock lock(DeviceLock);
  if (Device) Device->Wake();
}

void TDevaWin32Dispatcher::StartDispatcher() {
  TCriticalSectionGuard lock(TriggerLock);
  if (DispatcherActive) throw Exception("Dispatcher already started.");
  DispatcherActive = true;
  KillThreads = false;
  Device->ClearWake();
  SerialEvent.Reset();
  QueueRoom.Reset();
  // Each thread reports its start before the next is made; a late one is no error.
  StartThread(ReadThread, std::make_unique<TReadThread>(this));
  GeneralEvent->Wait(kStartWaitMs);
  StartThread(DispatchThread, std::make_unique<TDispThread>(this));
  GeneralEvent->Wait(kStartWaitMs);
  StartThread(WriteThread, std::make_unique<TWriteThread>(this));
  GeneralEvent->Wait(kStartWaitMs);
  StartThread(StatusThread, std::make_unique<TStatusThread>(this));
  GeneralEvent->Wait(kStartWaitMs);
}

void TDevaWin32Dispatcher::StopDispatcher() {
  if (DispatcherActive) CloseCom();  // the events go with the rings (DonePortPrim)
}

std::int32_t TDevaWin32Dispatcher::CloseCom() {
  {
    TCriticalSectionGuard lock(TriggerLock);
    if (CloseInProgress) return 0;  // another close is under way
    CloseInProgress = true;
  }
  if (DispatcherActive) {
    StopThreads();
    // The device threads end within a wait; they never wait for this thread.
    if (StatusThread) {
      if (CycleDoneEvent) CycleDoneEvent->Set();
      AwaitThread(StatusThread);
    }
    if (WriteThread) {
      if (OutFlushEvent) OutFlushEvent->Set();
      AwaitThread(WriteThread);
    }
    if (ReadThread) {
      SerialEvent.Set();
      if (GeneralEvent) GeneralEvent->Reset();
      AwaitThread(ReadThread);
    }
    // The dispatch thread may be in a handler that waits for this thread,
    // which meanwhile serves it; a close from its own handler waits for nothing.
    if (DispatchThread && !OnOwnThread(DispatchThread) && !AwaitThread(DispatchThread, kDispatchEndMs)) {
      if (CommEventSignal) CommEventSignal->Set();
      if (!AwaitThread(DispatchThread, kDispatchEndMs)) AwaitThread(DispatchThread);
    }
  }
  const bool closed = ReleaseDevice();
  TCriticalSectionGuard lock(TriggerLock);
  CloseInProgress = false;
  return closed ? 0 : -1;
}

std::int32_t TDevaWin32Dispatcher::FlushCom(std::int32_t Queue) {
  if (Queue == 0) {
    if (!WriteThread) return 0;
    {
      TCriticalSectionGuard lock(OutputLock);
      OutHead = OutTail = 0;
      OutRingFull = false;
      if (WriteDoneEvent) WriteDoneEvent->Set();
    }
    bool purged;
    {
      std::shared_lock lock(DeviceLock);
      purged = Device && Device->Purge(kPurgeTxAbort | kPurgeTxClear);
    }
    // The write thread drops what it is sending and answers.
    if (OutFlushEvent && GeneralEvent) {
      OutFlushEvent->Set();
      GeneralEvent->Wait(kFlushAnswerMs);
    }
    return purged;
  }
  if (Queue == 1) {
    bool purged;
    {
      std::shared_lock lock(DeviceLock);
      purged = Device && Device->Purge(kPurgeRxAbort | kPurgeRxClear);
    }
    InputQueue.Clear();  // a claimed item stays
    if (ReadPaused) QueueRoom.Set();
    return purged;
  }
  return 0;
}
