#include "serial/dispatch/tapi32_dispatcher.h"

#include <mutex>

#include "platform/last_error.h"
#include "serial/base/result_codes.h"

TDevaTAPI32Dispatcher::TDevaTAPI32Dispatcher(TComponent* Owner, std::unique_ptr<CommDevice> Opened)
    : TDevaWin32Dispatcher(Owner) {
  Device = std::move(Opened);
}

std::int32_t TDevaTAPI32Dispatcher::OpenCom(const char*, std::uint32_t, std::uint32_t) {
  std::unique_lock lock(DeviceLock);
  if (!Device) {
    SetLastSysError(-ecCommNotOpen);
    return ecCommNotOpen;
  }
  ComHandle = Device->Handle();
  return ComHandle;
}
