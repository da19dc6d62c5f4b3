#include "platform/open_comm_device.h"

#include "platform/com_port_names.h"
#include "platform/errno_map.h"
#include "platform/last_error.h"
#include "platform/termios_comm_device.h"

std::unique_ptr<CommDevice> OpenComDevice(std::string_view comName) {
  const std::optional<std::string> path =
      ComDevicePath(ComNumberFromName(comName), ComRegistryFile());
  if (!path) {
    SetLastSysError(kSysFileNotFound);
    return nullptr;
  }
  return OpenTermiosDevice(*path);
}
