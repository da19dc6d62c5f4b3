#include "serial/win32_dispatcher.h"

#include <algorithm>
#include <cstring>
#include <thread>

#include "platform/errno_map.h"
#include "platform/last_error.h"
#include "platform/open_comm_device.h"

TDevaWin32Dispatcher::TDevaWin32Dispatcher(TComponent* Owner) : TDevaBaseDispatcher(Owner) {}

TDevaWin32Dispatcher::~TDevaWin32Dispatcher() {
  AwaitThreadsGone();  // the descriptor outlives every thread that may use it
}

std::unique_ptr<CommDevice> TDevaWin32Dispatcher::OpenDevice(const char* ComName) {
  return OpenComDevice(ComName ? ComName : "");
}

std::int32_t TDevaWin32Dispatcher::OpenCom(const char* ComName, std::uint32_t, std::uint32_t) {
  if (Device) {  // this dispatcher holds a device already
    SetLastSysError(kSysAccessDenied);
    return -1;
  }
  Device = OpenDevice(ComName);
  if (!Device) return -1;
  ComHandle = Device->Handle();
  return ComHandle;
}

bool TDevaWin32Dispatcher::ReleaseDevice() {
  if (ActiveThreads > 0) return false;
  Device.reset();
  ComHandle = -1;
  return true;
}

bool TDevaWin32Dispatcher::SetupCom(std::int32_t InSize, std::int32_t OutSize) {
  if (!Device) {
    SetLastSysError(kSysInvalidHandle);
    return false;
  }
  return Device->SetupQueues(static_cast<std::uint32_t>(std::max(InSize, 0)),
                             static_cast<std::uint32_t>(std::max(OutSize, 0)));
}

std::int32_t TDevaWin32Dispatcher::GetComState(TCommDcb& DCB) {
  return Device && Device->GetState(DCB) ? 0 : -1;
}

std::int32_t TDevaWin32Dispatcher::SetComState(TCommDcb& DCB) {
  if (!Device) return -kSysInvalidHandle;
  if (Device->SetState(DCB)) return 0;
  const int error = GetLastSysError();
  return error ? -error : -kSysGenFailure;
}

std::int32_t TDevaWin32Dispatcher::GetComError(TCommStat& Stat) {
  Stat = {};
  const std::uint32_t errors = Device ? Device->TakeErrors(Stat) : 0;
  Stat.cbOutQue = static_cast<std::uint32_t>(OutBufUsed());
  return static_cast<std::int32_t>(errors);
}

std::int32_t TDevaWin32Dispatcher::EscapeComFunction(std::int32_t Func) {
  if (Device) Device->Escape(static_cast<std::uint32_t>(Func));
  return 0;
}

std::int32_t TDevaWin32Dispatcher::GetComModemStatus(std::uint32_t& Status) {
  Status = 0;
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
  return Size - remaining;
}

std::int32_t TDevaWin32Dispatcher::WriteCom(const std::uint8_t* Buf, std::int32_t Size) {
  {
    TCriticalSectionGuard lock(OutputLock);
    if (!OutRing || Size <= 0) return 0;
    const auto count = static_cast<std::uint32_t>(Size);
    const std::uint32_t room = OutQueueSize - OutHead;
    const std::uint32_t first = std::min(count, room);
    std::memcpy(OutRing.get() + OutHead, Buf, first);
    std::memcpy(OutRing.get(), Buf + first, count - first);
    OutHead = count < room ? OutHead + count : count - room;
    if (WriteDoneEvent) WriteDoneEvent->Reset();  // not empty any more
  }
  if (OutputEvent) OutputEvent->Set();
  return Size;
}

std::int32_t TDevaWin32Dispatcher::ProcessCommunications() {
  std::this_thread::yield();  // the threads do the work
  return 0;
}
