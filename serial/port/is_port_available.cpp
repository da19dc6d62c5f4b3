#include "serial/port/is_port_available.h"

#include <string>

#include "platform/errno_map.h"
#include "platform/last_error.h"
#include "platform/open_comm_device.h"
#include "serial/dispatch/win32_dispatcher.h"

namespace {

constexpr std::uint32_t kProbeQueueSize = 64;

// The reason of an open that failed; never 0, which would read as success.
int FailedOpenError() {
  const int error = GetLastSysError();
  return error ? error : kSysGenFailure;
}

// Opens and closes the device: 0 when it opened, else the system error of the
// failed open, taken before the probe's release can overwrite it.
int ProbeOpen(const std::string& name) {
  if (!UseDispatcherForAvail) return OpenComDevice(name) ? 0 : FailedOpenError();
  TDevaWin32Dispatcher probe(nullptr);
  if (probe.OpenCom(name.c_str(), kProbeQueueSize, kProbeQueueSize) < 0) return FailedOpenError();
  probe.CloseCom();
  return 0;
}

}  // namespace

bool IsPortAvailable(unsigned ComNum) {
  if (ComNum == 0) return false;
  const int error = ProbeOpen("\\\\.\\COM" + std::to_string(ComNum));
  return error == 0 || (ShowPortsInUse && error == kSysSharingViolation);
}
